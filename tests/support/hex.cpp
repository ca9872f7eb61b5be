#include "hex.h"

#include <cctype>
#include <cstdio>
#include <stdexcept>

namespace vuxa_test {

namespace {

int digit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = char(std::tolower((unsigned char)c));
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

std::vector<uint8_t> hex(const std::string &text)
{
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < text.size();) {
        if (text[i] == ' ' || text[i] == '-' || text[i] == ':' || text[i] == '\n') {
            ++i;
            continue;
        }
        if (i + 1 >= text.size() || digit(text[i]) < 0 || digit(text[i + 1]) < 0)
            throw std::invalid_argument("hex: bad text \"" + text + "\"");
        bytes.push_back(uint8_t(digit(text[i]) << 4 | digit(text[i + 1])));
        i += 2;
    }
    return bytes;
}

std::string to_hex(const void *bytes, size_t size)
{
    std::string text;
    const auto *p = static_cast<const uint8_t *>(bytes);
    for (size_t i = 0; i < size; ++i) {
        char pair[4];
        std::snprintf(pair, sizeof pair, i == 0 ? "%02x" : " %02x", p[i]);
        text += pair;
    }
    return text;
}

std::string to_hex(const std::vector<uint8_t> &bytes)
{
    return to_hex(bytes.data(), bytes.size());
}

} // namespace vuxa_test
