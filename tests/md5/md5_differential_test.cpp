// Differential tests against OpenSSL's libcrypto: many random messages,
// keys and splits over MD5Update.
#include <gtest/gtest.h>

#include "md5_test_support.h"

namespace {

// Message lengths around every block boundary, and some long ones.
uint32_t random_length(std::mt19937 &rng)
{
    switch (rng() % 4) {
    case 0:
        return rng() % 130;
    case 1:
        return 64 * (rng() % 8) + 55 + rng() % 10;
    case 2:
        return rng() % 2000;
    default:
        return rng() % 70000;
    }
}

std::string digest_in_pieces(const Bytes &message, const std::vector<uint32_t> &pieces)
{
    MD5_CTX context;
    MD5Init(&context);
    size_t offset = 0;
    for (uint32_t piece : pieces) {
        MD5Update(&context, message.data() + offset, piece);
        offset += piece;
    }
    uint8_t digest[16];
    MD5Final(digest, &context);
    return to_hex(digest, 16);
}

// Random lengths cut at random points; small pieces (0, 1, 63, 64, 65)
// come up often.
std::vector<uint32_t> random_split(std::mt19937 &rng, uint32_t length)
{
    const uint32_t favourites[] = {0, 1, 63, 64, 65, 3, 128};
    std::vector<uint32_t> pieces;
    while (length > 0) {
        uint32_t piece = rng() % 2 ? favourites[rng() % 7] : (uint32_t)(rng() % (length + 1));
        piece = std::min(piece, length);
        pieces.push_back(piece);
        length -= piece;
    }
    return pieces;
}

TEST(Md5Differential, OneShotAgreesWithOpenSsl)
{
    std::mt19937 rng(64);
    for (int i = 0; i < 600; i++) {
        const Bytes message = random_bytes(rng, random_length(rng));
        SCOPED_TRACE(message.size());
        uint8_t digest[16];
        MD5_Hash(message.data(), (uint32_t)message.size(), digest);
        ASSERT_EQ(to_hex(digest, 16), openssl_md5(message));
    }
}

TEST(Md5Differential, AnySplitGivesTheSameDigest)
{
    std::mt19937 rng(1994);
    for (int i = 0; i < 600; i++) {
        const Bytes message = random_bytes(rng, random_length(rng));
        const std::vector<uint32_t> pieces = random_split(rng, (uint32_t)message.size());
        SCOPED_TRACE(::testing::Message() << message.size() << " bytes in " << pieces.size());
        ASSERT_EQ(digest_in_pieces(message, pieces), openssl_md5(message));
    }
}

TEST(Md5Differential, FixedSplitsOfOneMessage)
{
    std::mt19937 rng(5);
    const Bytes message = random_bytes(rng, 1000);
    const std::string expected = openssl_md5(message);
    for (uint32_t first : {0u, 1u, 55u, 56u, 63u, 64u, 65u, 127u, 128u, 129u, 1000u}) {
        for (uint32_t piece : {1u, 63u, 64u, 65u, 100u}) {
            SCOPED_TRACE(::testing::Message() << first << " then pieces of " << piece);
            std::vector<uint32_t> pieces = {first, 0};
            for (uint32_t left = 1000 - first; left > 0; left -= std::min(piece, left))
                pieces.push_back(std::min(piece, left));
            EXPECT_EQ(digest_in_pieces(message, pieces), expected);
        }
    }
}

TEST(Md5Differential, HmacAgreesWithOpenSsl)
{
    std::mt19937 rng(2104);
    for (int i = 0; i < 600; i++) {
        const Bytes key = random_bytes(rng, rng() % 3 ? rng() % 80 : rng() % 300);
        const Bytes text = random_bytes(rng, random_length(rng) % 5000);
        SCOPED_TRACE(::testing::Message() << key.size() << "-byte key, " << text.size());
        uint8_t digest[16], inner[16], outer[16];
        HMAC_MD5(text.data(), (uint32_t)text.size(), key.data(), (int32_t)key.size(),
                 i % 2 ? inner : nullptr, i % 3 ? outer : nullptr, digest);
        ASSERT_EQ(to_hex(digest, 16), openssl_hmac_md5(key, text));
    }
}

TEST(Md5Differential, ChapAgreesWithOpenSsl)
{
    std::mt19937 rng(1334);
    for (int i = 0; i < 300; i++) {
        const uint32_t identifier = (uint32_t)rng();
        const Bytes secret = random_bytes(rng, rng() % 100);
        const Bytes challenge = random_bytes(rng, rng() % 100);
        Bytes all = {(uint8_t)identifier};
        all.insert(all.end(), secret.begin(), secret.end());
        all.insert(all.end(), challenge.begin(), challenge.end());
        uint8_t digest[16];
        CHAP_MD5(identifier, secret.data(), (uint32_t)secret.size(), challenge.data(),
                 (uint32_t)challenge.size(), digest);
        ASSERT_EQ(to_hex(digest, 16), openssl_md5(all));
    }
}

} // namespace
