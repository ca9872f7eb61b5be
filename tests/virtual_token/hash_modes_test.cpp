// The three hash modes against OpenSSL: mode 0 the bare compression, mode
// 1 HMAC-MD5 from inner and outer key files, mode 2 the CHAP response from
// a secret file; and their refusals.
#include <cstring>
#include <random>

#include "device/token_commands.h"
#include "openssl_md5.h"
#include "util/bytes.h"
#include "vtd_fixture.h"

namespace vuxa_test {
namespace {

constexpr uint32_t kIv[4] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476};

Bytes words_bytes(const uint32_t w[4])
{
    Bytes b(16);
    for (int i = 0; i < 4; i++)
        put_le32(&b[4 * i], w[i]);
    return b;
}

// Adds the initial value back, word by word, as the library does.
Digest add_iv(const Bytes &answer)
{
    Digest d{};
    for (int i = 0; i < 4; i++)
        put_le32(&d[4 * i], get_le32(&answer[4 * i]) + kIv[i]);
    return d;
}

Digest as_digest(const Bytes &b)
{
    Digest d{};
    std::memcpy(d.data(), b.data(), std::min<size_t>(b.size(), 16));
    return d;
}

// The state after one key block K0 ^ pad, computed with OpenSSL.
Bytes hmac_state(Bytes key, uint8_t pad)
{
    if (key.size() > 64) {
        const Digest d = openssl_md5(key);
        key.assign(d.begin(), d.end());
    }
    key.resize(64, 0);
    for (uint8_t &b : key)
        b ^= pad;
    uint32_t state[4] = {kIv[0], kIv[1], kIv[2], kIv[3]};
    openssl_transform(state, key.data());
    return words_bytes(state);
}

// The library's mode 1 request: 16 zero bytes, the data, 0x80 and the bit
// count of one key block and the data.
Bytes keyed_request(const Bytes &data)
{
    Bytes block(64, 0);
    std::copy(data.begin(), data.end(), block.begin());
    block[data.size()] = 0x80;
    put_le32(&block[56], uint32_t(512 + 8 * data.size()));
    return zeros(16) + block;
}

Bytes chap_request(uint8_t id, const Bytes &challenge)
{
    Bytes block(64, 0);
    block[0] = id;
    block[1] = uint8_t(challenge.size());
    std::copy(challenge.begin(), challenge.end(), block.begin() + 2);
    block[2 + challenge.size()] = 0x80;
    uint32_t iv[4] = {kIv[0], kIv[1], kIv[2], kIv[3]};
    return words_bytes(iv) + block;
}

Bytes pattern(size_t n, uint8_t seed)
{
    Bytes b(n);
    for (size_t i = 0; i < n; i++)
        b[i] = uint8_t(seed + 7 * i);
    return b;
}

class HashModes : public TokenTest {
protected:
    void SetUp() override
    {
        insert(kWide);
        attach(0);
        ASSERT_EQ(verify_pin(), 0);
    }
    void key_file(uint32_t file_id, const Bytes &contents, uint8_t access = 0, uint32_t words = 0)
    {
        words = words ? words : uint32_t(contents.size() / 2);
        ASSERT_EQ(create_file(0, file_id, 4, access, words), 0);
        for (size_t at = 0; at < contents.size(); at += 76) {
            const Bytes chunk(contents.begin() + at,
                              contents.begin() + std::min(contents.size(), at + 76));
            ASSERT_EQ(write(uint32_t(at / 2), chunk), 0);
        }
    }
    Bytes secret_file(const Bytes &secret)
    {
        Bytes contents(2);
        put_le16(contents.data(), uint32_t(secret.size()));
        contents = contents + secret;
        contents.resize((contents.size() + 1) & ~size_t(1), 0);
        return contents;
    }
};

TEST_F(HashModes, RawIsTheCompressionWithoutTheChainingValue)
{
    std::mt19937 random(7);
    for (int round = 0; round < 50; round++) {
        uint32_t chain[4], expected[4];
        for (int i = 0; i < 4; i++)
            chain[i] = expected[i] = uint32_t(random());
        Bytes block(64);
        for (uint8_t &b : block)
            b = uint8_t(random());
        openssl_transform(expected, block.data());
        const Bytes answer = cmd(PYXO_CMD_HASH_RAW, words_bytes(chain) + block, 16);
        ASSERT_EQ(answer.size(), 16u);
        for (int i = 0; i < 4; i++)
            EXPECT_EQ(get_le32(&answer[4 * i]), expected[i] - chain[i]) << round;
    }
}

// With the initial value and the padded empty message, the library's sum
// is the MD5 of the empty message.
TEST_F(HashModes, RawOfThePaddedEmptyMessageGivesItsDigest)
{
    uint32_t iv[4] = {kIv[0], kIv[1], kIv[2], kIv[3]};
    const Bytes answer = cmd(PYXO_CMD_HASH_RAW, words_bytes(iv) + hex("80") + zeros(63), 16);
    EXPECT_EQ(to_hex(add_iv(answer).data(), 16), "d4 1d 8c d9 8f 00 b2 04 e9 80 09 98 ec f8 42 7e");
}

// The whole HMAC the library builds on mode 1, for every message length
// it allows and keys of several lengths.
TEST_F(HashModes, KeyedModeGivesHmacMd5FromInnerAndOuterKeyFiles)
{
    uint32_t file = 1;
    for (size_t key_length : {0, 16, 64, 65, 200}) {
        const Bytes key = pattern(key_length, 0x11);
        const uint32_t inner = file++, outer = file++;
        key_file(inner, hmac_state(key, 0x36));
        key_file(outer, hmac_state(key, 0x5C));
        for (size_t length = 0; length <= 55; length++) {
            const Bytes data = pattern(length, uint8_t(length));
            ASSERT_EQ(select(0, inner).size(), 4u);
            const Bytes inner_hash = cmd(PYXO_CMD_HASH_KEYED, keyed_request(data), 16);
            ASSERT_EQ(inner_hash.size(), 16u);
            ASSERT_EQ(select(0, outer).size(), 4u);
            const Bytes mac = cmd(PYXO_CMD_HASH_KEYED, keyed_request(inner_hash), 16);
            EXPECT_EQ(as_digest(mac), openssl_hmac_md5(key, data))
                << "key " << key_length << " message " << length;
        }
    }
}

TEST_F(HashModes, ChapModeGivesTheChapResponse)
{
    uint32_t file = 1;
    for (size_t secret_length : {0, 1, 16, 63, 150}) {
        const Bytes secret = pattern(secret_length, 0x5A);
        key_file(file, secret_file(secret));
        for (size_t length = 0; length <= 50; length++) {
            const uint8_t id = uint8_t(length * 37);
            const Bytes challenge = pattern(length, 0xC3);
            ASSERT_EQ(select(0, file).size(), 4u);
            const Bytes answer = cmd(PYXO_CMD_HASH_CHAP, chap_request(id, challenge), 16);
            ASSERT_EQ(answer.size(), 16u);
            EXPECT_EQ(add_iv(answer), openssl_md5(Bytes{id} + secret + challenge))
                << "secret " << secret_length << " challenge " << length;
        }
        file++;
    }
}

// The token accepts challenges up to 61 bytes, the end marker at byte 63.
TEST_F(HashModes, ChapChallengeMustEndWithTheMarkerInsideTheBlock)
{
    key_file(1, secret_file(hex("01 02 03")));
    const Bytes longest = pattern(61, 1);
    EXPECT_EQ(add_iv(cmd(PYXO_CMD_HASH_CHAP, chap_request(9, longest), 16)),
              openssl_md5(Bytes{9} + hex("01 02 03") + longest));
    Bytes request = chap_request(9, pattern(10, 1));
    request[16 + 12] = 0x00;
    EXPECT_EQ(to_hex(cmd(PYXO_CMD_HASH_CHAP, request, 16)), "0b") << "no 0x80 after the challenge";
    request = chap_request(9, {});
    request[16 + 1] = 62;
    EXPECT_EQ(to_hex(cmd(PYXO_CMD_HASH_CHAP, request, 16)), "0b") << "no room for the marker";
}

TEST_F(HashModes, KeyedAndChapModesRefuseWhatTheyCannotUse)
{
    const Bytes request = keyed_request({});
    EXPECT_EQ(to_hex(cmd(PYXO_CMD_HASH_KEYED, request, 16)), "03") << "nothing selected";
    EXPECT_EQ(to_hex(cmd(PYXO_CMD_HASH_CHAP, request, 16)), "03");
    ASSERT_EQ(create_file(0, 1, 2, 0, 8), 0);
    EXPECT_EQ(to_hex(cmd(PYXO_CMD_HASH_KEYED, request, 16)), "08") << "a data file";
    ASSERT_EQ(create_file(0, 2, 3, 0, 8), 0);
    EXPECT_EQ(to_hex(cmd(PYXO_CMD_HASH_CHAP, request, 16)), "08") << "a counter file";
    key_file(3, zeros(14));
    EXPECT_EQ(to_hex(cmd(PYXO_CMD_HASH_KEYED, request, 16)), "0b") << "7 words hold no state";
    // A secret longer than its file.
    key_file(4, hex("07 00 01 02 03 04"));
    EXPECT_EQ(to_hex(cmd(PYXO_CMD_HASH_CHAP, chap_request(1, {}), 16)), "0b");
    // Use condition 2 (master key) with only the PIN verified.
    key_file(5, zeros(16), 2 << 3);
    EXPECT_EQ(to_hex(cmd(PYXO_CMD_HASH_KEYED, request, 16)), "01");
    ASSERT_EQ(verify_key(), 0);
    EXPECT_EQ(cmd(PYXO_CMD_HASH_KEYED, request, 16).size(), 16u);
    // Every mode takes exactly 80 request bytes.
    for (uint32_t code : {PYXO_CMD_HASH_RAW, PYXO_CMD_HASH_KEYED, PYXO_CMD_HASH_CHAP})
        EXPECT_EQ(to_hex(cmd(code, Bytes(request.begin(), request.end() - 1), 16)), "0b") << code;
}

} // namespace
} // namespace vuxa_test
