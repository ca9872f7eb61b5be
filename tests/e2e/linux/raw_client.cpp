#include "raw_client.h"

#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "vuxad_process.h"

namespace e2e {

namespace {

void put32(std::vector<uint8_t> &bytes, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes.push_back(uint8_t(value >> (8 * i)));
}

} // namespace

uint32_t le32(const std::vector<uint8_t> &bytes, size_t offset)
{
    return uint32_t(bytes[offset]) | uint32_t(bytes[offset + 1]) << 8 |
           uint32_t(bytes[offset + 2]) << 16 | uint32_t(bytes[offset + 3]) << 24;
}

std::vector<uint8_t> header_frame(uint32_t magic, uint32_t code, uint32_t in_size,
                                  uint32_t out_size)
{
    std::vector<uint8_t> frame;
    put32(frame, magic);
    put32(frame, code);
    put32(frame, in_size);
    put32(frame, out_size);
    return frame;
}

std::vector<uint8_t> request_frame(uint32_t code, const std::vector<uint8_t> &input,
                                   uint32_t out_size)
{
    std::vector<uint8_t> frame = header_frame(kMagic, code, uint32_t(input.size()), out_size);
    frame.insert(frame.end(), input.begin(), input.end());
    return frame;
}

std::vector<uint8_t> attach_block(uint32_t device_index, uint32_t attach)
{
    std::vector<uint8_t> block;
    put32(block, device_index);
    put32(block, attach);
    put32(block, 0);
    put32(block, 0xFF); // attach_status
    block.resize(48, 0);
    return block;
}

RawClient::RawClient(const std::string &socket_path) : fd_(connect_unix(socket_path)) {}

RawClient::~RawClient()
{
    if (fd_ >= 0)
        close(fd_);
}

bool RawClient::send_bytes(const std::vector<uint8_t> &bytes)
{
    size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t n = send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += size_t(n);
    }
    return true;
}

bool RawClient::receive_exactly(uint8_t *data, size_t size, int timeout_ms)
{
    while (size > 0) {
        pollfd pfd{fd_, POLLIN, 0};
        if (poll(&pfd, 1, timeout_ms) <= 0)
            return false;
        ssize_t n = recv(fd_, data, size, 0);
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

std::optional<RawResponse> RawClient::receive(int timeout_ms)
{
    std::vector<uint8_t> header(12);
    if (!receive_exactly(header.data(), header.size(), timeout_ms))
        return std::nullopt;
    RawResponse response{le32(header, 0), le32(header, 4), {}};
    response.output.resize(le32(header, 8));
    if (!receive_exactly(response.output.data(), response.output.size(), timeout_ms))
        return std::nullopt;
    return response;
}

bool RawClient::closed_by_peer(int timeout_ms)
{
    pollfd pfd{fd_, POLLIN, 0};
    if (poll(&pfd, 1, timeout_ms) <= 0)
        return false;
    uint8_t byte;
    ssize_t n = recv(fd_, &byte, 1, MSG_DONTWAIT);
    return n == 0 || (n < 0 && errno == ECONNRESET);
}

std::optional<RawResponse> RawClient::call(uint32_t code, const std::vector<uint8_t> &input,
                                           uint32_t out_size)
{
    if (!send_bytes(request_frame(code, input, out_size)))
        return std::nullopt;
    return receive();
}

} // namespace e2e
