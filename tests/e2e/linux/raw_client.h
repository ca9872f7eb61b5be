// A client that speaks the driver socket protocol byte by byte, for tests
// of what vuxad does with frames the library would never send.
#ifndef VUXA_E2E_RAW_CLIENT_H
#define VUXA_E2E_RAW_CLIENT_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

constexpr uint32_t kMagic = 0x31445856;
constexpr uint32_t kGetVersion = 0x220400;
constexpr uint32_t kAttach = 0x220404;
constexpr uint32_t kRelease = 0x220408;
constexpr uint32_t kCommand = 0x22040C;

struct RawResponse {
    uint32_t magic = 0;
    uint32_t error = 0;
    std::vector<uint8_t> output;
};

std::vector<uint8_t> request_frame(uint32_t code, const std::vector<uint8_t> &input,
                                   uint32_t out_size);
// A request header alone, with any field values.
std::vector<uint8_t> header_frame(uint32_t magic, uint32_t code, uint32_t in_size,
                                  uint32_t out_size);

class RawClient {
public:
    explicit RawClient(const std::string &socket_path);
    ~RawClient();
    RawClient(const RawClient &) = delete;
    RawClient &operator=(const RawClient &) = delete;

    bool connected() const { return fd_ >= 0; }
    bool send_bytes(const std::vector<uint8_t> &bytes);
    // The next response, or nothing when the daemon closed the connection
    // (or sent no whole response within the timeout).
    std::optional<RawResponse> receive(int timeout_ms = 5000);
    // True when the daemon closed the connection.
    bool closed_by_peer(int timeout_ms = 5000);
    std::optional<RawResponse> call(uint32_t code, const std::vector<uint8_t> &input,
                                    uint32_t out_size);

private:
    bool receive_exactly(uint8_t *data, size_t size, int timeout_ms);
    int fd_ = -1;
};

// An attach block asking for the device at position (device_index given).
std::vector<uint8_t> attach_block(uint32_t device_index, uint32_t attach);

uint32_t le32(const std::vector<uint8_t> &bytes, size_t offset);

} // namespace e2e

#endif
