#include "server.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "framing.h"

namespace vuxad {

namespace {

constexpr size_t kReceiveChunk = 64 * 1024;

bool would_block(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

} // namespace

Server::~Server()
{
    for (Connection &c : connections_)
        drop(c);
}

void Server::run(const volatile sig_atomic_t *stop, const sigset_t &wait_mask)
{
    std::vector<pollfd> fds;
    while (!*stop) {
        fds.assign(1, pollfd{listen_fd_, POLLIN, 0});
        for (const Connection &c : connections_)
            fds.push_back({c.fd, short(c.out.empty() ? POLLIN : POLLOUT), 0});
        if (ppoll(fds.data(), fds.size(), nullptr, &wait_mask) < 0) {
            if (errno != EINTR)
                fprintf(stderr, "vuxad: poll: %s\n", strerror(errno));
            continue;
        }
        // In the order of their arrival, so that a client's hang-up is seen
        // before a request that a later connection sent after it.
        size_t polled = connections_.size();
        for (size_t i = 0; i < polled; ++i) {
            short events = fds[i + 1].revents;
            Connection &c = connections_[i];
            if (events != 0 && !((events & POLLOUT) ? flush(c) && serve(c) : receive(c)))
                drop(c);
        }
        std::erase_if(connections_, [](const Connection &c) { return c.fd < 0; });
        if (fds[0].revents & POLLIN)
            accept_all();
    }
}

void Server::accept_all()
{
    for (;;) {
        int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (!would_block(errno) && errno != ECONNABORTED)
                fprintf(stderr, "vuxad: accept: %s\n", strerror(errno));
            return;
        }
        Connection c;
        c.fd = fd;
        c.number = ++accepted_;
        if (host_.open_handle(&c.handle) != 0) {
            fprintf(stderr, "vuxad: connection %llu refused: the driver has no free handle\n",
                    (unsigned long long)c.number);
            close(fd);
            continue;
        }
        connections_.push_back(std::move(c));
    }
}

bool Server::receive(Connection &c)
{
    size_t used = c.in.size();
    c.in.resize(used + kReceiveChunk);
    ssize_t n = recv(c.fd, c.in.data() + used, kReceiveChunk, 0);
    c.in.resize(used + (n > 0 ? size_t(n) : 0));
    if (n < 0)
        return would_block(errno);
    if (n == 0)
        return false; // the client closed its handle
    return serve(c);
}

// Answers every complete request received, as long as the client takes
// the answers: a client that stops reading is not read from either.
bool Server::serve(Connection &c)
{
    while (c.out.empty()) {
        Request request;
        switch (parse_request(c.in, request)) {
        case ParseResult::incomplete:
            return true;
        case ParseResult::malformed:
            fprintf(stderr, "vuxad: connection %llu sent a malformed frame; closing it\n",
                    (unsigned long long)c.number);
            return false;
        case ParseResult::complete:
            break;
        }
        output_.resize(request.out_size);
        uint32_t returned = 0;
        uint32_t error = host_.control(c.handle, request.code, request.input, output_, &returned);
        returned = std::min(returned, request.out_size);
        append_response(c.out, error, std::span<const uint8_t>(output_.data(), returned));
        c.in.erase(c.in.begin(), c.in.begin() + std::ptrdiff_t(request.frame_size));
        if (!flush(c))
            return false;
    }
    return true;
}

bool Server::flush(Connection &c)
{
    while (!c.out.empty()) {
        ssize_t n = send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL);
        if (n < 0)
            return would_block(errno);
        c.out.erase(c.out.begin(), c.out.begin() + n);
    }
    return true;
}

void Server::drop(Connection &c)
{
    close(c.fd);
    c.fd = -1;
    host_.close_handle(c.handle);
}

} // namespace vuxad
