// The token's side of the keyed hashing, played by the test through the
// scripted driver: file selection and the three MD5 block operations,
// computed with libcrypto's MD5, independently of the library's own code.
//
// This header does not include pyxo.h: libcrypto's md5.h, which the model
// needs, declares an MD5_CTX of its own.
#ifndef VUXA_TEST_TOKEN_MODEL_H
#define VUXA_TEST_TOKEN_MODEL_H

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "support/scripted_driver.h"

namespace vuxa_test {

using Md5Bytes = std::array<uint8_t, 16>;

// HMAC-MD5 by RFC 2104 with libcrypto: the MD5 chaining value after the one
// block K0 XOR pad (pad 0x36 for the inner, 0x5C for the outer key file).
Md5Bytes hmac_key_state(const std::vector<uint8_t> &key, uint8_t pad);
// libcrypto's HMAC-MD5 and MD5, the values to compare with.
Md5Bytes reference_hmac_md5(const std::vector<uint8_t> &key, const std::vector<uint8_t> &data);
Md5Bytes reference_md5(const std::vector<uint8_t> &message);

// A token with 32-bit identifiers and a few files.  It answers:
//  0x105 select: the file's size, type 2; an unknown file is refused;
//  0x110: the 64 MD5 steps over the block from the chaining field, without
//         adding the chaining value back;
//  0x111: the full MD5 compression of the block from the selected file's
//         16-byte chaining value (the chaining field must be zero);
//  0x118: MD5 of identifier, the selected file's secret and the challenge,
//         less MD5's initial value word by word (the block must hold
//         identifier, length, challenge, 0x80 and zeros).
// A request of the wrong form is refused with token status 11.
class TokenModel {
public:
    TokenModel();
    void put_file(uint32_t dir_id, uint32_t file_id, std::vector<uint8_t> contents);
    ScriptedDriver::CommandHandler handler() const;

private:
    struct Files;
    std::shared_ptr<Files> files_;
};

} // namespace vuxa_test

#endif
