// vuxad as a child process of a test: started in a temporary directory of
// its own, waited for until its socket answers, stopped at the end.
#ifndef VUXA_E2E_VUXAD_PROCESS_H
#define VUXA_E2E_VUXAD_PROCESS_H

#include <string>
#include <sys/types.h>
#include <vector>

namespace e2e {

// A temporary directory, removed with its contents.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;
    std::string path(const std::string &name = "") const;

private:
    std::string path_;
};

class VuxadProcess {
public:
    // Nothing runs yet.  The socket directory is DIR/sockets.
    explicit VuxadProcess(const ScratchDir &dir);
    ~VuxadProcess(); // kills a daemon still running

    // Starts vuxad with --dir and these arguments; true once its socket
    // answers, false when it exited first (exit_status() then tells why).
    bool start(const std::vector<std::string> &args);
    // Sends the signal and waits; returns the exit status as waitpid gives it.
    int stop(int signal);
    bool running() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

    int exit_status() const { return status_; }
    std::string log() const; // what vuxad wrote to stderr
    const std::string &socket_dir() const { return socket_dir_; }
    std::string socket_path() const { return socket_dir_ + "/VUXADRVR"; }

private:
    bool wait_for_socket();

    std::string socket_dir_;
    std::string log_path_;
    pid_t pid_ = -1;
    int status_ = 0;
};

// Runs vuxad to its end (for start-up refusals); returns the exit status.
int run_vuxad(const std::vector<std::string> &args, std::string *log);

// A Unix stream connection to a socket path, or -1.
int connect_unix(const std::string &path);

} // namespace e2e

#endif
