// Published digests: the test suite of RFC 1321 (appendix A.5), the
// HMAC-MD5 cases of RFC 2202, and CHAP-MD5 responses of RFC 1994.
#include <gtest/gtest.h>

#include "md5_test_support.h"

namespace {

struct DigestCase {
    const char *message;
    const char *digest;
};

const DigestCase kRfc1321Suite[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"1234567890123456789012345678901234567890123456789012345678901234567890123456789"
     "0",
     "57edf4a22be3c955ac49da2e2107b67a"},
};

TEST(Md5Vectors, Rfc1321SuiteThroughEveryEntry)
{
    for (const auto &c : kRfc1321Suite) {
        SCOPED_TRACE(c.message);
        const Bytes message = bytes_of(c.message);
        uint8_t digest[16];

        EXPECT_EQ(MD5_Hash(message.data(), (uint32_t)message.size(), digest), digest);
        EXPECT_EQ(to_hex(digest, 16), c.digest);

        MD5_CTX context;
        MD5Init(&context);
        MD5Update(&context, message.data(), (uint32_t)message.size());
        MD5Final(digest, &context);
        EXPECT_EQ(to_hex(digest, 16), c.digest);
    }
}

struct HmacCase {
    Bytes key;
    Bytes text;
    const char *digest;
};

TEST(Md5Vectors, Rfc2202HmacCases)
{
    const HmacCase cases[] = {
        {repeat(0x0B, 16), bytes_of("Hi There"), "9294727a3638bb1c13f48ef8158bfc9d"},
        {bytes_of("Jefe"), bytes_of("what do ya want for nothing?"),
         "750c783e6ab0b503eaa86e310a5db738"},
        {repeat(0xAA, 16), repeat(0xDD, 50), "56be34521d144c88dbb8c733f0e8b3f6"},
        {from_hex("0102030405060708090a0b0c0d0e0f10111213141516171819"), repeat(0xCD, 50),
         "697eaf0aca3a3aea3a75164746ffaa79"},
        {repeat(0x0C, 16), bytes_of("Test With Truncation"), "56461ef2342edc00f9bab995690efd4c"},
        {repeat(0xAA, 80), bytes_of("Test Using Larger Than Block-Size Key - Hash Key First"),
         "6b1ab7fe4bd7bf8f0b62e6ce61b9d0cd"},
        {repeat(0xAA, 80),
         bytes_of("Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data"),
         "6f630fad67cda0ee1fb1f562db3aa53e"},
    };
    int number = 1;
    for (const auto &c : cases) {
        SCOPED_TRACE("RFC 2202 case " + std::to_string(number++));
        uint8_t digest[16];
        EXPECT_EQ(HMAC_MD5(c.text.data(), (uint32_t)c.text.size(), c.key.data(),
                           (int32_t)c.key.size(), nullptr, nullptr, digest),
                  digest);
        EXPECT_EQ(to_hex(digest, 16), c.digest);
    }
}

struct ChapCase {
    uint32_t identifier;
    Bytes secret;
    Bytes challenge;
    const char *response;
};

// Only the low eight bits of the identifier count (300 hashes as 44).
TEST(Md5Vectors, ChapResponses)
{
    const ChapCase cases[] = {
        {0, {}, {}, "93b885adfe0da089cdf634904fd59f71"},
        {1, bytes_of("secret"), from_hex("000102030405060708090a0b0c0d0e0f"),
         "740e86463bda3a4d7017d6e0fba0699d"},
        {300, from_hex("000102"), bytes_of("challenge"), "9826b05f17549b0599b523a6ab0e8739"},
        {0xFFFFFF7F, repeat('x', 70), repeat('y', 50), "7344f4b901a9ca045c7093a5ca8e8851"},
        {255, {}, repeat(0xAA, 64), "aff7fae9ded15ea0d96d60aabc8d8d3e"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.identifier);
        uint8_t digest[16];
        EXPECT_EQ(CHAP_MD5(c.identifier, c.secret.data(), (uint32_t)c.secret.size(),
                           c.challenge.data(), (uint32_t)c.challenge.size(), digest),
                  digest);
        EXPECT_EQ(to_hex(digest, 16), c.response);
    }
}

// MD5_Hash writes its digest after reading the data, so both may share a
// buffer; the same holds for HMAC_MD5's text and digest.
TEST(Md5Vectors, DigestMayOverwriteItsInput)
{
    Bytes buffer = bytes_of("abcdefghijklmnop");
    MD5_Hash(buffer.data(), 16, buffer.data());
    EXPECT_EQ(to_hex(buffer.data(), 16), openssl_md5(bytes_of("abcdefghijklmnop")));

    Bytes text = bytes_of("Hi There");
    text.resize(16);
    const Bytes key = repeat(0x0B, 16);
    const std::string expected = openssl_hmac_md5(key, Bytes(text.begin(), text.end()));
    HMAC_MD5(text.data(), 16, key.data(), 16, nullptr, nullptr, text.data());
    EXPECT_EQ(to_hex(text.data(), 16), expected);
}

} // namespace
