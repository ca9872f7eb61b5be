// vuxad's connection loop: one thread, poll(2) over the listening socket
// and every connection.  One connection is one driver handle; its requests
// are answered in order, one at a time, so the core sees serialised calls.
#ifndef VUXAD_SERVER_H
#define VUXAD_SERVER_H

#include <csignal>
#include <cstdint>
#include <vector>

#include "token_host.h"

namespace vuxad {

class Server {
public:
    Server(int listen_fd, TokenHost &host) : listen_fd_(listen_fd), host_(host) {}
    ~Server();
    Server(const Server &) = delete;
    Server &operator=(const Server &) = delete;

    // Serves until *stop becomes true.  Signals are delivered only while
    // waiting, with wait_mask as the signal mask (ppoll), so a stop signal
    // is never lost between the check and the wait.
    void run(const volatile sig_atomic_t *stop, const sigset_t &wait_mask);

private:
    struct Connection {
        int fd = -1;
        uint32_t handle = 0;
        uint64_t number = 0;      // for log messages
        std::vector<uint8_t> in;  // received, not yet answered
        std::vector<uint8_t> out; // responses not yet sent
    };

    void accept_all();
    bool receive(Connection &connection); // false: close the connection
    bool serve(Connection &connection);
    bool flush(Connection &connection);
    void drop(Connection &connection); // closes it; removed after the round

    int listen_fd_;
    TokenHost &host_;
    std::vector<Connection> connections_;
    std::vector<uint8_t> output_; // the core's answer to the request being served
    uint64_t accepted_ = 0;
};

} // namespace vuxad

#endif
