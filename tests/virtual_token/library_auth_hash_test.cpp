// The library's authentication and token hashing against the core: PIN,
// master key, settings, challenge; Pyxo_HMAC_MD5 and Pyxo_CHAP_MD5 equal
// the host's HMAC_MD5 and CHAP_MD5 with key material kept in key files.
#include <vector>

#include "core_behind_library.h"

namespace vuxa_test {
namespace {

std::vector<uint8_t> pattern(size_t n, uint8_t seed)
{
    std::vector<uint8_t> b(n);
    for (size_t i = 0; i < n; i++)
        b[i] = uint8_t(seed + 13 * i);
    return b;
}

class LibraryAuth : public ThroughTheLibrary {
protected:
    // A key file (type 4): hashing always allowed, writing always allowed.
    void key_file(uint32_t dir_id, uint32_t file_id, const std::vector<uint8_t> &contents)
    {
        PYXO_FILEINFO info{file_id, dir_id, uint32_t(contents.size()), 4, 7, 0, 0};
        ASSERT_EQ(Pyxo_CreateFile(&context, &info), PYXO_OK);
        uint32_t written = 0;
        ASSERT_EQ(Pyxo_WriteFile(&context, contents.data(), 0, uint32_t(contents.size()), &written),
                  PYXO_OK);
    }
};

TEST_F(LibraryAuth, PinTriesAndLock)
{
    EXPECT_EQ(Pyxo_VerifyPIN(&context, kTestPin), PYXO_OK);
    EXPECT_EQ(Pyxo_VerifyPIN(&context, 1), PYXO_ERR_ACCESS_DENIED);
    EXPECT_EQ(Pyxo_VerifyPIN(&context, 2), PYXO_ERR_ACCESS_DENIED);
    EXPECT_EQ(Pyxo_VerifyPIN(&context, 3), PYXO_ERR_ACCESS_DENIED);
    EXPECT_EQ(Pyxo_VerifyPIN(&context, kTestPin), PYXO_ERR_10) << "locked: token status 5";
    EXPECT_EQ(Pyxo_VerifyMasterKey(&context, kTestKey.data()), PYXO_OK);
    EXPECT_EQ(Pyxo_ModifyPIN(&context, 0x1234), PYXO_OK);
    EXPECT_EQ(Pyxo_VerifyPIN(&context, 0x1234), PYXO_OK);
}

TEST_F(LibraryAuth, SettingsNeedTheMasterKeyAndRoundTrip)
{
    PYXO_ACCESS_SETTINGS settings{};
    ASSERT_EQ(Pyxo_GetAccessSettings(&context, &settings), PYXO_OK);
    EXPECT_EQ(settings.nibble_high, 5);
    EXPECT_EQ(settings.nibble_low, 3);
    EXPECT_EQ(settings.octal_high, 3);
    EXPECT_EQ(settings.octal_low, 0);
    const PYXO_ACCESS_SETTINGS wanted{2, 4, 1, 2};
    EXPECT_EQ(Pyxo_SetAccessSettings(&context, &wanted), PYXO_ERR_ACCESS_DENIED);
    ASSERT_EQ(Pyxo_VerifyMasterKey(&context, kTestKey.data()), PYXO_OK);
    ASSERT_EQ(Pyxo_SetAccessSettings(&context, &wanted), PYXO_OK);
    ASSERT_EQ(Pyxo_GetAccessSettings(&context, &settings), PYXO_OK);
    EXPECT_EQ(settings.nibble_high, 2);
    EXPECT_EQ(settings.nibble_low, 4);
    EXPECT_EQ(settings.octal_high, 1);
    EXPECT_EQ(settings.octal_low, 2);
    const uint8_t new_key[8] = {8, 7, 6, 5, 4, 3, 2, 1};
    ASSERT_EQ(Pyxo_ModifyMasterKey(&context, new_key), PYXO_OK);
    EXPECT_EQ(Pyxo_VerifyMasterKey(&context, kTestKey.data()), PYXO_ERR_ACCESS_DENIED);
    EXPECT_EQ(Pyxo_VerifyMasterKey(&context, new_key), PYXO_OK);
}

TEST_F(LibraryAuth, ChallengesAreFresh)
{
    uint8_t a[8], b[8];
    ASSERT_EQ(Pyxo_GetChallenge(&context, a), PYXO_OK);
    ASSERT_EQ(Pyxo_GetChallenge(&context, b), PYXO_OK);
    EXPECT_NE(to_hex(a, 8), to_hex(b, 8));
}

TEST_F(LibraryAuth, RawModeOfThePaddedEmptyMessageIsItsDigest)
{
    uint8_t block[64] = {0x80}, digest[16];
    ASSERT_EQ(Pyxo_HashToken(&context, PYXO_HASH_MODE_RAW, block, 64, digest), PYXO_OK);
    EXPECT_EQ(to_hex(digest, 16), "d4 1d 8c d9 8f 00 b2 04 e9 80 09 98 ec f8 42 7e");
}

TEST_F(LibraryAuth, TokenHmacEqualsHostHmacForEveryLengthAndKey)
{
    uint32_t file = 1;
    for (size_t key_length : {0, 16, 64, 65, 200}) {
        const std::vector<uint8_t> key = pattern(key_length, 0x42);
        uint8_t inner[16], outer[16], digest[16];
        HMAC_MD5(nullptr, 0, key.data(), int32_t(key_length), inner, outer, digest);
        const uint32_t inner_id = file++, outer_id = file++;
        key_file(0, inner_id, std::vector<uint8_t>(inner, inner + 16));
        key_file(0, outer_id, std::vector<uint8_t>(outer, outer + 16));
        uint8_t readback[2];
        uint32_t count = 0;
        EXPECT_EQ(Pyxo_ReadFile(&context, readback, 0, 2, &count), PYXO_ERR_ACCESS_DENIED)
            << "key files are never read";
        for (size_t length = 0; length <= 55; length++) {
            const std::vector<uint8_t> data = pattern(length, uint8_t(length));
            uint8_t expected[16], got[16];
            HMAC_MD5(data.data(), uint32_t(length), key.data(), int32_t(key_length), nullptr,
                     nullptr, expected);
            ASSERT_EQ(Pyxo_HMAC_MD5(&context, 0, inner_id, 0, outer_id, data.data(),
                                    int32_t(length), got),
                      PYXO_OK);
            EXPECT_EQ(to_hex(got, 16), to_hex(expected, 16))
                << "key " << key_length << " length " << length;
        }
    }
}

TEST_F(LibraryAuth, TokenChapEqualsHostChapForEveryChallengeLength)
{
    const std::vector<uint8_t> secret = pattern(23, 0x99);
    std::vector<uint8_t> contents = {uint8_t(secret.size()), 0};
    contents.insert(contents.end(), secret.begin(), secret.end());
    contents.resize((contents.size() + 1) & ~size_t(1), 0);
    key_file(0, 1, contents);
    for (size_t length = 0; length <= 50; length++) {
        const std::vector<uint8_t> challenge = pattern(length, 0x10);
        const uint32_t identifier = uint32_t(0x100 + length * 5);
        uint8_t expected[16], got[16];
        CHAP_MD5(identifier, secret.data(), uint32_t(secret.size()), challenge.data(),
                 uint32_t(length), expected);
        ASSERT_EQ(Pyxo_CHAP_MD5(&context, 0, 1, identifier, challenge.data(), int32_t(length), got),
                  PYXO_OK);
        EXPECT_EQ(to_hex(got, 16), to_hex(expected, 16)) << "challenge " << length;
    }
}

} // namespace
} // namespace vuxa_test
