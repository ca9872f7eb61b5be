// Small steps that many end-to-end tests take on a token, through the
// public header only.
#ifndef VUXA_E2E_TOKEN_FILES_H
#define VUXA_E2E_TOKEN_FILES_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "pyxo.h"

namespace e2e {

// The credentials and settings of the tokens the tests make (vuxad's and
// the management client's defaults for new tokens).
constexpr uint32_t kPin = 1234;
constexpr std::array<uint8_t, 8> kMasterKey = {1, 2, 3, 4, 5, 6, 7, 8};

// File types and access conditions of the virtual token.
enum : uint8_t {
    kDataFile = 2,
    kCounterFile = 3,
    kKeyFile = 4,
};
enum : uint8_t {
    kAlways = 0,
    kAfterPin = 1,
    kAfterMasterKey = 2,
    kNever = 7,
};

// Opens the first token that no other handle holds: PYXO_OPEN_FIRST, then
// PYXO_OPEN_NEXT past tokens attached elsewhere.
uint32_t open_free_token(PYXO_CONTEXT &context);

// Verifies the PIN and the master key, as provisioning needs.
uint32_t log_in(PYXO_CONTEXT &context);

// Creates a data file readable and writable by everyone, and leaves it
// selected.
uint32_t create_open_data_file(PYXO_CONTEXT &context, uint32_t dir_id, uint32_t file_id,
                               uint32_t size);

// Creates a key file (never readable; written after the PIN, hashed with by
// everyone) holding these bytes.
uint32_t create_key_file(PYXO_CONTEXT &context, uint32_t dir_id, uint32_t file_id,
                         const std::vector<uint8_t> &contents);

// The contents of a CHAP secret file: the secret's length in the first
// word, then the secret, padded to whole words.
std::vector<uint8_t> chap_secret_file(const std::vector<uint8_t> &secret);

// Bytes that differ from position to position and from seed to seed.
std::vector<uint8_t> pattern(size_t size, uint8_t seed);

// Bytes as lower-case hex, for comparisons that print well.
std::string hex(const uint8_t *bytes, size_t size);

} // namespace e2e

#endif
