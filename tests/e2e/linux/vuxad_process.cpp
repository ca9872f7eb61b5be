#include "vuxad_process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#ifndef VUXAD_PATH
#error "VUXAD_PATH names the vuxad program"
#endif

namespace e2e {

namespace {

constexpr auto kStartTimeout = std::chrono::seconds(20);

pid_t spawn(const std::vector<std::string> &args, const std::string &log_path)
{
    std::vector<char *> argv{const_cast<char *>(VUXAD_PATH)};
    for (const std::string &arg : args)
        argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid != 0)
        return pid;
    int log = open(log_path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    if (log >= 0)
        dup2(log, STDERR_FILENO);
    execv(VUXAD_PATH, argv.data());
    _exit(127);
}

} // namespace

ScratchDir::ScratchDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "vuxa-e2e-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

ScratchDir::~ScratchDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string ScratchDir::path(const std::string &name) const
{
    return name.empty() ? path_ : path_ + "/" + name;
}

int connect_unix(const std::string &path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return -1;
    memcpy(address.sun_path, path.c_str(), path.size() + 1);
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

VuxadProcess::VuxadProcess(const ScratchDir &dir)
    : socket_dir_(dir.path("sockets")), log_path_(dir.path("vuxad.log"))
{
}

VuxadProcess::~VuxadProcess()
{
    if (running())
        stop(SIGKILL);
}

bool VuxadProcess::start(const std::vector<std::string> &args)
{
    std::vector<std::string> all{"--dir", socket_dir_};
    all.insert(all.end(), args.begin(), args.end());
    pid_ = spawn(all, log_path_);
    return wait_for_socket();
}

bool VuxadProcess::wait_for_socket()
{
    auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(pid_, &status_, WNOHANG) == pid_) {
            pid_ = -1;
            return false;
        }
        int fd = connect_unix(socket_path());
        if (fd >= 0) {
            close(fd);
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    stop(SIGKILL);
    return false;
}

int VuxadProcess::stop(int signal)
{
    if (!running())
        return status_;
    kill(pid_, signal);
    while (waitpid(pid_, &status_, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    return status_;
}

std::string VuxadProcess::log() const
{
    std::ifstream in(log_path_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

int run_vuxad(const std::vector<std::string> &args, std::string *log)
{
    ScratchDir dir;
    pid_t pid = spawn(args, dir.path("log"));
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    std::ifstream in(dir.path("log"));
    std::stringstream text;
    text << in.rdbuf();
    *log = text.str();
    return status;
}

} // namespace e2e
