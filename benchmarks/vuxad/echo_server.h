// The yardstick for vuxad: a bare driver socket protocol server that
// answers every request at once with out_size zero bytes, doing nothing
// else.  One thread, one poll loop, like vuxad.
#ifndef VUXA_BENCH_ECHO_SERVER_H
#define VUXA_BENCH_ECHO_SERVER_H

#include <cstdint>
#include <string>
#include <thread>

class EchoServer {
public:
    explicit EchoServer(const std::string &socket_path);
    ~EchoServer();
    EchoServer(const EchoServer &) = delete;
    EchoServer &operator=(const EchoServer &) = delete;

private:
    void serve();

    std::string path_;
    int listen_fd_ = -1;
    int wake_[2] = {-1, -1};
    std::thread thread_;
};

// A client of the bare protocol: one connection, one round trip per call.
class BareClient {
public:
    explicit BareClient(const std::string &socket_path);
    ~BareClient();
    BareClient(const BareClient &) = delete;
    BareClient &operator=(const BareClient &) = delete;

    // Sends a request of in_size bytes, reads the answer of out_size bytes.
    bool round_trip(uint32_t code, uint32_t in_size, uint32_t out_size);

private:
    int fd_ = -1;
};

#endif
