#include "platform/posix/socket_io.h"

#include <errno.h>
#include <stdint.h>
#include <sys/socket.h>

namespace {

// A descriptor that is closed, no socket or not connected was never one of
// our handles; every other failure leaves the connection in an unknown
// place of the byte stream.
PyxoLink link_failure(int error)
{
    if (error == EBADF || error == ENOTSOCK || error == ENOTCONN || error == EDESTADDRREQ)
        return PYXO_LINK_NOT_OURS;
    return PYXO_LINK_BROKEN;
}

void skip_sent(struct msghdr *message, size_t sent)
{
    while (message->msg_iovlen > 0 && sent >= message->msg_iov->iov_len) {
        sent -= message->msg_iov->iov_len;
        ++message->msg_iov;
        --message->msg_iovlen;
    }
    if (message->msg_iovlen == 0)
        return;
    message->msg_iov->iov_base = (uint8_t *)message->msg_iov->iov_base + sent;
    message->msg_iov->iov_len -= sent;
}

} // namespace

PyxoLink pyxo_send_all(int fd, struct iovec *parts, size_t count)
{
    struct msghdr message = {};
    message.msg_iov = parts;
    message.msg_iovlen = count;
    while (message.msg_iovlen > 0) {
        const ssize_t sent = sendmsg(fd, &message, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0)
            return link_failure(errno);
        skip_sent(&message, (size_t)sent);
    }
    return PYXO_LINK_OK;
}

PyxoLink pyxo_receive_all(int fd, void *buffer, size_t size)
{
    uint8_t *next = (uint8_t *)buffer;
    while (size > 0) {
        const ssize_t received = recv(fd, next, size, 0);
        if (received < 0 && errno == EINTR)
            continue;
        if (received < 0)
            return link_failure(errno);
        if (received == 0)
            return PYXO_LINK_BROKEN;
        next += received;
        size -= (size_t)received;
    }
    return PYXO_LINK_OK;
}
