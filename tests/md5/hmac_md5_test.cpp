// HMAC_MD5's key handling and the two chaining states it hands out.
#include <gtest/gtest.h>

#include <climits>

#include "md5_test_support.h"

namespace {

// The chaining state after one key block (key XOR pad byte), computed by
// OpenSSL's compression function.
std::string key_block_state(Bytes key, uint8_t pad)
{
    key.resize(64, 0);
    for (auto &b : key)
        b ^= pad;
    uint32_t state[4] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476};
    openssl_md5_transform(state, key.data());
    return state_hex(state);
}

// MD5 resumed from a chaining state with one block (512 bits) counted.
Bytes resume(const uint8_t state[16], const uint8_t *data, size_t length)
{
    MD5_CTX context;
    context.count[0] = 512;
    context.count[1] = 0;
    for (int i = 0; i < 4; i++)
        std::memcpy(&context.state[i], state + 4 * i, 4); // little-endian host
    MD5Update(&context, data, (uint32_t)length);
    Bytes digest(16);
    MD5Final(digest.data(), &context);
    return digest;
}

// For keys of several lengths: the states are those of the key blocks,
// they do not depend on the text, and MD5 resumed from them gives the HMAC.
TEST(HmacMd5, StatesResumeToTheHmac)
{
    std::mt19937 rng(4);
    for (size_t key_length : {0, 1, 16, 63, 64, 65, 200}) {
        SCOPED_TRACE(key_length);
        const Bytes key = random_bytes(rng, key_length);
        Bytes block_key = key;
        if (key_length > 64)
            block_key = from_hex(openssl_md5(key));
        uint8_t first_inner[16], first_outer[16];
        for (size_t text_length : {0, 16, 55, 56, 64, 300}) {
            const Bytes text = random_bytes(rng, text_length);
            uint8_t inner[16], outer[16], digest[16];
            HMAC_MD5(text.data(), (uint32_t)text_length, key.data(), (int32_t)key_length, inner,
                     outer, digest);
            EXPECT_EQ(to_hex(digest, 16), openssl_hmac_md5(key, text));
            EXPECT_EQ(to_hex(inner, 16), key_block_state(block_key, 0x36));
            EXPECT_EQ(to_hex(outer, 16), key_block_state(block_key, 0x5C));
            if (text_length == 0) {
                std::memcpy(first_inner, inner, 16);
                std::memcpy(first_outer, outer, 16);
            }
            EXPECT_EQ(to_hex(inner, 16), to_hex(first_inner, 16));
            EXPECT_EQ(to_hex(outer, 16), to_hex(first_outer, 16));

            const Bytes inner_digest = resume(inner, text.data(), text.size());
            const Bytes hmac = resume(outer, inner_digest.data(), 16);
            EXPECT_EQ(to_hex(hmac.data(), 16), to_hex(digest, 16));
        }
    }
}

// A null state output is left alone; a given one receives 16 bytes and
// nothing around them.  The HMAC is the same either way.
TEST(HmacMd5, StateOutputsAreOptionalAndExact)
{
    const Bytes key = bytes_of("Jefe");
    const Bytes text = bytes_of("what do ya want for nothing?");
    const char *expected = "750c783e6ab0b503eaa86e310a5db738";
    for (int outputs = 0; outputs < 4; outputs++) {
        SCOPED_TRACE(outputs);
        Bytes inner(48, 0xEE), outer(48, 0xEE), digest(48, 0xEE);
        HMAC_MD5(text.data(), (uint32_t)text.size(), key.data(), (int32_t)key.size(),
                 outputs & 1 ? inner.data() + 16 : nullptr,
                 outputs & 2 ? outer.data() + 16 : nullptr, digest.data() + 16);
        EXPECT_EQ(to_hex(digest.data() + 16, 16), expected);
        for (Bytes *area : {&inner, &outer, &digest}) {
            EXPECT_EQ(to_hex(area->data(), 16), to_hex(repeat(0xEE, 16).data(), 16));
            EXPECT_EQ(to_hex(area->data() + 32, 16), to_hex(repeat(0xEE, 16).data(), 16));
        }
        if (!(outputs & 1))
            EXPECT_EQ(to_hex(inner.data() + 16, 16), to_hex(repeat(0xEE, 16).data(), 16));
        if (!(outputs & 2))
            EXPECT_EQ(to_hex(outer.data() + 16, 16), to_hex(repeat(0xEE, 16).data(), 16));
    }
}

// A 64-byte key is used as it stands, a 65-byte key through its MD5.
TEST(HmacMd5, KeysUpToOneBlockAreUsedAsTheyStand)
{
    std::mt19937 rng(64);
    const Bytes text = bytes_of("text");
    for (size_t key_length : {64, 65}) {
        SCOPED_TRACE(key_length);
        const Bytes key = random_bytes(rng, key_length);
        const Bytes block_key = key_length == 64 ? key : from_hex(openssl_md5(key));
        uint8_t digest[16], hashed_key_digest[16];
        HMAC_MD5(text.data(), 4, key.data(), (int32_t)key_length, nullptr, nullptr, digest);
        HMAC_MD5(text.data(), 4, block_key.data(), (int32_t)block_key.size(), nullptr, nullptr,
                 hashed_key_digest);
        EXPECT_EQ(to_hex(digest, 16), openssl_hmac_md5(key, text));
        EXPECT_EQ(to_hex(digest, 16), to_hex(hashed_key_digest, 16));
    }
}

// key_length 0 or below is the empty key, and no key byte is read.
TEST(HmacMd5, NonPositiveKeyLengthIsTheEmptyKey)
{
    const Bytes text = bytes_of("Hi There");
    const std::string expected = openssl_hmac_md5({}, text);
    for (int32_t key_length : {0, -1, -64, INT32_MIN}) {
        SCOPED_TRACE(key_length);
        uint8_t digest[16];
        HMAC_MD5(text.data(), (uint32_t)text.size(), nullptr, key_length, nullptr, nullptr, digest);
        EXPECT_EQ(to_hex(digest, 16), expected);
    }
}

} // namespace
