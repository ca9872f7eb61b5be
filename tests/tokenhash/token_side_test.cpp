// Against a token whose side the test computes itself (token_model.h), the
// token HMAC-MD5 and CHAP-MD5 give the values of RFC 2104 and RFC 1994, and
// the raw and keyed modes give MD5 compressions.
#include <gtest/gtest.h>

#include <cstring>

#include "support/hex.h"
#include "support/open_token.h"
#include "token_model.h"

using namespace vuxa_test;

namespace {

constexpr uint32_t kKeyDir = 7;
constexpr uint32_t kInnerFile = 1;
constexpr uint32_t kOuterFile = 2;
constexpr uint32_t kSecretFile = 3;

std::vector<uint8_t> pattern(size_t size, uint8_t seed)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; i++)
        bytes[i] = (uint8_t)(seed + 37 * i);
    return bytes;
}

std::string hex16(const uint8_t *digest)
{
    return to_hex(digest, 16);
}

class TokenSide : public ::testing::Test {
protected:
    void SetUp() override { token.driver.on_command(model.handler()); }

    TokenModel model;
    OpenToken token;
};

TEST_F(TokenSide, HmacMatchesRfc2104ForEveryAcceptedLength)
{
    for (size_t key_length : {0, 16, 64, 65, 200}) {
        const std::vector<uint8_t> key = pattern(key_length, 0x0B);
        const Md5Bytes inner = hmac_key_state(key, 0x36);
        const Md5Bytes outer = hmac_key_state(key, 0x5C);
        model.put_file(kKeyDir, kInnerFile, {inner.begin(), inner.end()});
        model.put_file(kKeyDir, kOuterFile, {outer.begin(), outer.end()});
        for (int32_t length = 0; length <= 55; length++) {
            SCOPED_TRACE("key " + std::to_string(key_length) + ", data " +
                         std::to_string(length));
            const std::vector<uint8_t> data = pattern((size_t)length, 0x61);
            uint8_t digest[16];
            ASSERT_EQ(Pyxo_HMAC_MD5(&token.context, kKeyDir, kInnerFile, kKeyDir, kOuterFile,
                                    data.data(), length, digest),
                      PYXO_OK);
            EXPECT_EQ(hex16(digest), hex16(reference_hmac_md5(key, data).data()));
        }
    }
}

// RFC 2104's first test vector, with the key files made from its key.
TEST_F(TokenSide, HmacGivesTheRfc2104TestVector)
{
    const std::vector<uint8_t> key(16, 0x0B);
    const Md5Bytes inner = hmac_key_state(key, 0x36);
    const Md5Bytes outer = hmac_key_state(key, 0x5C);
    model.put_file(1, 1, {inner.begin(), inner.end()});
    model.put_file(1, 2, {outer.begin(), outer.end()});
    const uint8_t data[] = {'H', 'i', ' ', 'T', 'h', 'e', 'r', 'e'};
    uint8_t digest[16];
    ASSERT_EQ(Pyxo_HMAC_MD5(&token.context, 1, 1, 1, 2, data, sizeof data, digest), PYXO_OK);
    EXPECT_EQ(hex16(digest), to_hex(hex("92 94 72 7A 36 38 BB 1C 13 F4 8E F8 15 8B FC 9D")));
}

TEST_F(TokenSide, ChapMatchesRfc1994ForEveryAcceptedLength)
{
    for (size_t secret_length : {0, 1, 16, 64, 100}) {
        const std::vector<uint8_t> secret = pattern(secret_length, 0x53);
        model.put_file(kKeyDir, kSecretFile, secret);
        for (uint32_t identifier : {0x00u, 0x42u, 0x1FFu}) {
            for (int32_t length = 0; length <= 50; length++) {
                SCOPED_TRACE("secret " + std::to_string(secret_length) + ", identifier " +
                             std::to_string(identifier) + ", challenge " +
                             std::to_string(length));
                const std::vector<uint8_t> challenge = pattern((size_t)length, 0xC3);
                uint8_t digest[16];
                ASSERT_EQ(Pyxo_CHAP_MD5(&token.context, kKeyDir, kSecretFile, identifier,
                                        challenge.data(), length, digest),
                          PYXO_OK);
                std::vector<uint8_t> message = {(uint8_t)identifier};
                message.insert(message.end(), secret.begin(), secret.end());
                message.insert(message.end(), challenge.begin(), challenge.end());
                EXPECT_EQ(hex16(digest), hex16(reference_md5(message).data()));
            }
        }
    }
}

struct RawCase {
    const char *name;
    std::vector<uint8_t> block;
    const char *digest;
};

std::vector<uint8_t> padded_block(const std::string &message)
{
    std::vector<uint8_t> block(message.begin(), message.end());
    block.push_back(0x80);
    block.resize(56);
    const uint64_t bits = message.size() * 8;
    for (int i = 0; i < 8; i++)
        block.push_back((uint8_t)(bits >> (8 * i)));
    return block;
}

// A caller-made final block through the raw mode is MD5 (RFC 1321).
TEST_F(TokenSide, RawModeOfAPaddedBlockIsTheMd5Digest)
{
    const RawCase cases[] = {
        {"empty", padded_block(""), "D4 1D 8C D9 8F 00 B2 04 E9 80 09 98 EC F8 42 7E"},
        {"abc", padded_block("abc"), "90 01 50 98 3C D2 4F B0 D6 96 3F 7D 28 E1 7F 72"},
        {"message digest", padded_block("message digest"),
         "F9 6B 69 7D 7C B7 93 8D 52 5A 2F 31 AA F1 61 D0"},
    };
    for (const RawCase &row : cases) {
        SCOPED_TRACE(row.name);
        uint8_t digest[16];
        ASSERT_EQ(Pyxo_HashToken(&token.context, PYXO_HASH_MODE_RAW, row.block.data(), 64, digest),
                  PYXO_OK);
        EXPECT_EQ(hex16(digest), to_hex(hex(row.digest)));
    }
}

// The keyed mode ends an MD5 message whose first block the selected file
// stands for.
TEST_F(TokenSide, KeyedModeContinuesFromTheSelectedFile)
{
    const std::vector<uint8_t> first = pattern(64, 0x10);
    const Md5Bytes state = hmac_key_state(first, 0x00);
    model.put_file(2, 9, {state.begin(), state.end()});
    ASSERT_EQ(Pyxo_SelectFile(&token.context, 2, 9), PYXO_OK);
    for (uint32_t length : {0u, 1u, 16u, 54u, 55u}) {
        SCOPED_TRACE(length);
        const std::vector<uint8_t> data = pattern(length, 0x99);
        uint8_t digest[16];
        ASSERT_EQ(Pyxo_HashToken(&token.context, PYXO_HASH_MODE_KEYED, data.data(), length, digest),
                  PYXO_OK);
        std::vector<uint8_t> message = first;
        message.insert(message.end(), data.begin(), data.end());
        EXPECT_EQ(hex16(digest), hex16(reference_md5(message).data()));
    }
}

TEST_F(TokenSide, DataAndDigestMayShareTheBuffer)
{
    const Md5Bytes state = hmac_key_state(pattern(20, 0x44), 0x36);
    model.put_file(2, 9, {state.begin(), state.end()});
    ASSERT_EQ(Pyxo_SelectFile(&token.context, 2, 9), PYXO_OK);
    for (uint32_t mode : {PYXO_HASH_MODE_RAW, PYXO_HASH_MODE_KEYED}) {
        for (uint32_t length : {0u, 16u, 64u}) {
            SCOPED_TRACE("mode " + std::to_string(mode) + ", length " + std::to_string(length));
            std::vector<uint8_t> buffer = pattern(64, 0x21);
            uint8_t separate[16];
            ASSERT_EQ(Pyxo_HashToken(&token.context, mode, buffer.data(), length, separate),
                      PYXO_OK);
            ASSERT_EQ(Pyxo_HashToken(&token.context, mode, buffer.data(), length, buffer.data()),
                      PYXO_OK);
            EXPECT_EQ(hex16(buffer.data()), hex16(separate));
        }
    }
}

} // namespace
