// Bytes written as hex text, the way the tests state expected requests and
// answers, and the request bytes a recorded command block stands for.
#ifndef VUXA_TEST_HEX_H
#define VUXA_TEST_HEX_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "scripted_driver.h"

namespace vuxa_test {

// "01 0a FF" -> {0x01, 0x0A, 0xFF}; spaces are ignored.
inline std::vector<uint8_t> from_hex(const std::string &text)
{
    std::vector<uint8_t> bytes;
    std::string digits;
    for (char c : text)
        if (c != ' ')
            digits += c;
    for (size_t i = 0; i + 1 < digits.size(); i += 2)
        bytes.push_back((uint8_t)std::stoul(digits.substr(i, 2), nullptr, 16));
    return bytes;
}

// {0x01, 0x0A} -> "01 0A"
inline std::string to_hex(const uint8_t *bytes, size_t size)
{
    std::string text;
    char digits[4];
    for (size_t i = 0; i < size; i++) {
        std::snprintf(digits, sizeof digits, i ? " %02X" : "%02X", bytes[i]);
        text += digits;
    }
    return text;
}

inline std::string to_hex(const std::vector<uint8_t> &bytes)
{
    return to_hex(bytes.data(), bytes.size());
}

// A request as the exchange lays it out: bytes 0-3 in the two parameter
// words, the rest in the payload.  Shorter requests leave zero parameter
// bytes, so they read padded to four bytes.
inline std::vector<uint8_t> sent_request(const CommandBlock &block)
{
    std::vector<uint8_t> bytes = {(uint8_t)block.param1, (uint8_t)(block.param1 >> 8),
                                  (uint8_t)block.param2, (uint8_t)(block.param2 >> 8)};
    bytes.insert(bytes.end(), block.payload.begin(), block.payload.end());
    return bytes;
}

inline std::string padded_request(const std::string &hex)
{
    std::vector<uint8_t> bytes = from_hex(hex);
    if (bytes.size() < 4)
        bytes.resize(4);
    return to_hex(bytes);
}

} // namespace vuxa_test

#endif
