#include "echo_server.h"

#include <cstring>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr uint32_t kMagic = 0x31445856;
constexpr size_t kRequestHeader = 16;
constexpr size_t kResponseHeader = 12;
constexpr uint32_t kMaxData = 1u << 20;

uint32_t get32(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void put32(uint8_t *p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

sockaddr_un address_of(const std::string &path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        throw std::runtime_error("socket path too long: " + path);
    memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}

bool send_all(int fd, const uint8_t *data, size_t size)
{
    while (size > 0) {
        ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

bool receive_all(int fd, uint8_t *data, size_t size)
{
    while (size > 0) {
        ssize_t n = recv(fd, data, size, 0);
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

// Reads one request from a blocking connection and answers it.
bool answer_one(int fd, std::vector<uint8_t> &buffer)
{
    uint8_t header[kRequestHeader];
    if (!receive_all(fd, header, sizeof header) || get32(header) != kMagic)
        return false;
    uint32_t in_size = get32(header + 8);
    uint32_t out_size = get32(header + 12);
    if (in_size > kMaxData || out_size > kMaxData)
        return false;
    buffer.resize(std::max<size_t>(in_size, kResponseHeader + out_size));
    if (!receive_all(fd, buffer.data(), in_size))
        return false;
    memset(buffer.data(), 0, kResponseHeader + out_size);
    put32(buffer.data(), kMagic);
    put32(buffer.data() + 8, out_size);
    return send_all(fd, buffer.data(), kResponseHeader + out_size);
}

} // namespace

EchoServer::EchoServer(const std::string &socket_path) : path_(socket_path)
{
    sockaddr_un address = address_of(path_);
    unlink(path_.c_str());
    listen_fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listen_fd_ < 0 || pipe(wake_) != 0 ||
        bind(listen_fd_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        listen(listen_fd_, SOMAXCONN) != 0)
        throw std::runtime_error("echo server cannot listen on " + path_);
    thread_ = std::thread([this] { serve(); });
}

EchoServer::~EchoServer()
{
    char byte = 0;
    (void)!write(wake_[1], &byte, 1);
    thread_.join();
    close(listen_fd_);
    close(wake_[0]);
    close(wake_[1]);
    unlink(path_.c_str());
}

// Connections stay blocking: poll says a request has begun, and a client
// sends each request whole, so reading it to its end does not stall.
void EchoServer::serve()
{
    std::vector<int> clients;
    std::vector<uint8_t> buffer;
    for (;;) {
        std::vector<pollfd> fds{{wake_[0], POLLIN, 0}, {listen_fd_, POLLIN, 0}};
        for (int fd : clients)
            fds.push_back({fd, POLLIN, 0});
        if (poll(fds.data(), fds.size(), -1) < 0)
            continue;
        if (fds[0].revents)
            break;
        for (size_t i = clients.size(); i-- > 0;) {
            if (fds[i + 2].revents && !answer_one(clients[i], buffer)) {
                close(clients[i]);
                clients.erase(clients.begin() + std::ptrdiff_t(i));
            }
        }
        if (fds[1].revents & POLLIN) {
            int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0)
                clients.push_back(fd);
        }
    }
    for (int fd : clients)
        close(fd);
}

BareClient::BareClient(const std::string &socket_path)
{
    sockaddr_un address = address_of(socket_path);
    fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0 || connect(fd_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
        throw std::runtime_error("cannot connect to " + socket_path);
}

BareClient::~BareClient()
{
    close(fd_);
}

bool BareClient::round_trip(uint32_t code, uint32_t in_size, uint32_t out_size)
{
    uint8_t request[kRequestHeader + 512] = {};
    if (in_size > 512)
        return false;
    put32(request, kMagic);
    put32(request + 4, code);
    put32(request + 8, in_size);
    put32(request + 12, out_size);
    if (!send_all(fd_, request, kRequestHeader + in_size))
        return false;
    uint8_t response[kResponseHeader + 512];
    if (out_size > 512 || !receive_all(fd_, response, kResponseHeader))
        return false;
    return get32(response) == kMagic &&
           receive_all(fd_, response + kResponseHeader, get32(response + 8));
}
