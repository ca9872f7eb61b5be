#include "tool.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char **environ;

namespace pyxo_test {

namespace {

struct Pipe {
    int fd[2] = {-1, -1};
    Pipe()
    {
        if (pipe2(fd, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe");
    }
    ~Pipe()
    {
        close_end(0);
        close_end(1);
    }
    void close_end(int i)
    {
        if (fd[i] >= 0)
            close(fd[i]);
        fd[i] = -1;
    }
};

// Feeds the child's standard input and drains its two outputs together, so
// that neither side blocks on a full pipe.
void exchange(Pipe &in, Pipe &out, Pipe &err, const std::string &input, ToolResult &result)
{
    size_t fed = 0;
    if (input.empty())
        in.close_end(1);
    while (out.fd[0] >= 0 || err.fd[0] >= 0) {
        pollfd fds[3] = {{out.fd[0], POLLIN, 0}, {err.fd[0], POLLIN, 0}, {in.fd[1], POLLOUT, 0}};
        if (poll(fds, 3, -1) < 0) {
            if (errno == EINTR)
                continue;
            throw std::runtime_error("poll");
        }
        if (fds[2].revents) {
            const ssize_t n = write(in.fd[1], input.data() + fed, input.size() - fed);
            fed += n > 0 ? size_t(n) : 0;
            if (n <= 0 || fed == input.size())
                in.close_end(1);
        }
        Pipe *sources[2] = {&out, &err};
        std::string *sinks[2] = {&result.out, &result.err};
        for (int i = 0; i < 2; i++) {
            if (!fds[i].revents)
                continue;
            char buffer[4096];
            const ssize_t n = read(sources[i]->fd[0], buffer, sizeof buffer);
            if (n > 0)
                sinks[i]->append(buffer, size_t(n));
            else if (n == 0 || errno != EINTR)
                sources[i]->close_end(0);
        }
    }
}

} // namespace

ToolResult run_tool(const std::vector<std::string> &args, const std::string &input)
{
    std::signal(SIGPIPE, SIG_IGN); // a tool that exits unread makes writes fail, not kill
    Pipe in, out, err;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in.fd[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out.fd[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err.fd[1], 2);
    std::vector<char *> argv{const_cast<char *>(PYXO_TOOL)};
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, PYXO_TOOL, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        throw std::runtime_error("cannot start " PYXO_TOOL);
    in.close_end(0);
    out.close_end(1);
    err.close_end(1);
    ToolResult result;
    exchange(in, out, err, input, result);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string command_line(const std::vector<std::string> &args)
{
    std::string line = "pyxo";
    for (const std::string &a : args)
        line += " " + (a.size() > 40 ? a.substr(0, 40) + "..." : a);
    return line;
}

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "pyxo-cli-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp");
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string read_text_file(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void write_text_file(const std::string &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

} // namespace pyxo_test
