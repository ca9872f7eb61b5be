// The virtual token driver's management client, for tools and tests: the
// management controls over the driver device (the same platform calls
// the library uses, so it works over vuxad's socket and on Windows), and
// fresh token images made with the core itself.
#ifndef VTD_CLIENT_H
#define VTD_CLIENT_H

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "vtd.h"
#include "vtd_manage.h"

namespace vtd_client {

using Bytes = std::vector<uint8_t>;

// One position as the list control reports it.
struct PositionInfo {
    uint8_t kind = VTD_KIND_EMPTY; // VTD_KIND_*
    bool attached = false;
    uint16_t led = 0;
    std::array<uint8_t, 8> serial{};
    uint32_t image_size = 0;
    std::array<uint8_t, 32> descriptor{};
};

// A handle on the driver device.  Every call returns 0 or the Win32 error
// the control failed with.
class Connection {
public:
    Connection(); // opens the driver device; see error()
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // 0 when the device is open, else the error of opening it.
    uint32_t error() const { return open_error_; }

    uint32_t control(uint32_t code, const Bytes &in, Bytes &out, uint32_t out_size);
    uint32_t list(std::vector<PositionInfo> &positions);
    // Refuses a damaged image before sending it: VTD_ERROR_INVALID_DATA,
    // with image_problem() telling why.
    uint32_t insert_token(uint32_t position, const Bytes &image, bool replace = false);
    uint32_t insert_device(uint32_t position, const std::array<uint8_t, 32> &descriptor,
                           bool replace = false);
    uint32_t remove(uint32_t position);
    uint32_t export_image(uint32_t position, Bytes &image);

private:
    void *handle_;
    uint32_t open_error_ = 0;
};

// What is wrong with an image, in words; empty when it is sound.
std::string image_problem(const Bytes &image);

// A new token's make, as the factory sets it.
struct TokenOptions {
    uint8_t model = 0x50;           // below 0x50: 16-bit identifiers
    uint16_t memory_words = 0x1000; // 8 KiB
    bool random_serial = true;      // else serial below
    std::array<uint8_t, 8> serial{};
    uint32_t pin = 0;
    std::array<uint8_t, 8> master_key{};
    // File system after the master key, PIN changes after PIN or master
    // key; 3 PIN tries, 5 master key tries (docs/virtual-token.md).
    std::array<uint8_t, 2> settings{0x1A, 0x53};
};

// Makes a token and fills it through its own commands, then hands out its
// image: for tests and tools that need a token with files in it.
class TokenBuilder {
public:
    explicit TokenBuilder(const TokenOptions &options);
    ~TokenBuilder();
    TokenBuilder(const TokenBuilder &) = delete;
    TokenBuilder &operator=(const TokenBuilder &) = delete;

    // 0, or the first refusal: a token status byte, or a VTD_IMAGE_ error
    // from making the token.  Later steps do nothing after a refusal.
    uint32_t status() const { return status_; }

    // The builder verifies the master key and the PIN as each step needs.
    TokenBuilder &dir(uint32_t dir_id, uint32_t bytes);
    // A file of type 2, 3 or 4 with the access byte's two conditions
    // (docs/virtual-token.md), holding contents from its start.
    TokenBuilder &file(uint32_t dir_id, uint32_t file_id, uint8_t type, uint8_t high_condition,
                       uint8_t write_condition, uint32_t bytes, const Bytes &contents = {});
    // An HMAC key file: type 4, the 16-byte state HMAC_MD5 hands out.
    TokenBuilder &hmac_key_file(uint32_t dir_id, uint32_t file_id, const uint8_t state[16],
                                uint8_t use_condition = 0, uint8_t write_condition = 2);
    // A CHAP secret file: type 4, its length word then the secret.
    TokenBuilder &chap_secret_file(uint32_t dir_id, uint32_t file_id, const Bytes &secret,
                                   uint8_t use_condition = 0, uint8_t write_condition = 2);

    Bytes image() const;

private:
    Bytes command(uint32_t code, const Bytes &request, uint32_t answer_size);
    void step(uint32_t code, const Bytes &request);
    void authenticate();

    TokenOptions options_;
    std::unique_ptr<uint64_t[]> memory_;
    vtd_driver *driver_ = nullptr;
    uint32_t handle_ = 0;
    uint32_t status_ = 0;
};

// A fresh token's image.
Bytes new_token_image(const TokenOptions &options);

} // namespace vtd_client

#endif
