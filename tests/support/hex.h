// Bytes written as the reader checks them by hand: "0e 01 00 00".
#ifndef VUXA_TEST_HEX_H
#define VUXA_TEST_HEX_H

#include <cstdint>
#include <string>
#include <vector>

namespace vuxa_test {

// Parses pairs of hex digits; spaces, dashes and colons between them are
// ignored.  Throws std::invalid_argument on anything else.
std::vector<uint8_t> hex(const std::string &text);

// n zero bytes, and byte strings joined: hex("01 00") + zeros(46).
inline std::vector<uint8_t> zeros(size_t n)
{
    return std::vector<uint8_t>(n, 0);
}

inline std::vector<uint8_t> operator+(std::vector<uint8_t> head, const std::vector<uint8_t> &tail)
{
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

// "0e 01 00 00"
std::string to_hex(const std::vector<uint8_t> &bytes);
std::string to_hex(const void *bytes, size_t size);

} // namespace vuxa_test

#endif
