#include "listener.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace vuxad {

namespace {

sockaddr_un address_of(const std::string &path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        throw std::runtime_error("socket path too long for a Unix socket (" +
                                 std::to_string(sizeof address.sun_path - 1) +
                                 " bytes at most): " + path);
    memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}

[[noreturn]] void fail(const std::string &what, const std::string &path)
{
    throw std::runtime_error(what + " " + path + ": " + strerror(errno));
}

bool someone_listens(const sockaddr_un &address)
{
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    bool answered = connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    close(fd);
    return answered;
}

// Clears the way for bind: removes a socket that nobody listens on.
void remove_stale_socket(const std::string &path, const sockaddr_un &address)
{
    struct stat st;
    if (lstat(path.c_str(), &st) != 0)
        return;
    if (!S_ISSOCK(st.st_mode))
        throw std::runtime_error(path + " exists and is not a socket; remove it first");
    if (someone_listens(address))
        throw std::runtime_error("another driver is already serving " + path);
    if (unlink(path.c_str()) != 0)
        fail("cannot remove the stale socket", path);
}

} // namespace

int open_listener(const std::string &path)
{
    sockaddr_un address = address_of(path);
    remove_stale_socket(path, address);
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        fail("cannot create a socket for", path);
    // The socket file gets its mode from the umask at bind time.
    mode_t previous = umask(0177);
    int bound = bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address);
    umask(previous);
    if (bound != 0 || chmod(path.c_str(), 0600) != 0 || listen(fd, SOMAXCONN) != 0) {
        int saved = errno;
        if (bound == 0)
            unlink(path.c_str());
        close(fd);
        errno = saved;
        fail("cannot listen on", path);
    }
    return fd;
}

} // namespace vuxad
