// What the host digest tests share: hex helpers, OpenSSL as the
// independent implementation, and a model of MD5_CTX that follows the
// record's rules literally (one byte at a time through buffer).
#ifndef VUXA_TESTS_MD5_TEST_SUPPORT_H
#define VUXA_TESTS_MD5_TEST_SUPPORT_H

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "openssl_reference.h"
#include "pyxo.h"

using Bytes = std::vector<uint8_t>;

inline Bytes from_hex(const std::string &hex)
{
    Bytes out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back((uint8_t)std::stoul(hex.substr(i, 2), nullptr, 16));
    return out;
}

inline std::string to_hex(const uint8_t *p, size_t n)
{
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; i++) {
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}

inline Bytes bytes_of(const std::string &text)
{
    return Bytes(text.begin(), text.end());
}

inline Bytes repeat(uint8_t value, size_t n)
{
    return Bytes(n, value);
}

inline Bytes random_bytes(std::mt19937 &rng, size_t n)
{
    Bytes out(n);
    for (auto &b : out)
        b = (uint8_t)rng();
    return out;
}

// OpenSSL's answers.
inline std::string openssl_md5(const Bytes &data)
{
    uint8_t digest[16];
    openssl_md5_digest(data.data(), data.size(), digest);
    return to_hex(digest, 16);
}

inline std::string openssl_hmac_md5(const Bytes &key, const Bytes &text)
{
    uint8_t digest[16];
    openssl_hmac_md5_digest(key.data(), key.size(), text.data(), text.size(), digest);
    return to_hex(digest, 16);
}

// The state words as the digest bytes they stand for.
inline std::string state_hex(const uint32_t state[4])
{
    uint8_t out[16];
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 4; j++)
            out[4 * i + j] = (uint8_t)(state[i] >> 8 * j);
    return to_hex(out, 16);
}

// The rules of MD5_CTX followed literally: every byte goes through buffer,
// and each full buffer is compressed (by OpenSSL's MD5_Transform).
struct Md5Model {
    uint32_t count[2];
    uint32_t state[4];
    uint8_t buffer[64];

    explicit Md5Model(const MD5_CTX &from)
    {
        std::memcpy(count, from.count, sizeof count);
        std::memcpy(state, from.state, sizeof state);
        std::memcpy(buffer, from.buffer, sizeof buffer);
    }

    uint32_t pending() const { return (count[0] >> 3) & 63; }

    void compress() { openssl_md5_transform(state, buffer); }

    void update(const uint8_t *input, uint32_t length)
    {
        uint32_t index = pending();
        const uint32_t low = count[0] + (length << 3);
        if (low < count[0])
            count[1]++;
        count[0] = low;
        count[1] += length >> 29;
        for (uint32_t i = 0; i < length; i++) {
            buffer[index++] = input[i];
            if (index == 64) {
                compress();
                index = 0;
            }
        }
    }

    void final(uint8_t digest[16])
    {
        const uint32_t saved[2] = {count[0], count[1]};
        const uint32_t index = pending();
        uint8_t padding[64] = {0x80};
        update(padding, index < 56 ? 56 - index : 120 - index);
        for (int i = 0; i < 2; i++)
            for (int j = 0; j < 4; j++)
                buffer[56 + 4 * i + j] = (uint8_t)(saved[i] >> 8 * j);
        compress();
        for (int i = 0; i < 4; i++)
            for (int j = 0; j < 4; j++)
                digest[4 * i + j] = (uint8_t)(state[i] >> 8 * j);
    }
};

#endif
