// Run-time checks of both DLLs under Windows, without the driver: how the
// loader treats their entry points, the host digests computed by the DLL
// code (which runs without a C runtime), and an open that finds no driver.
#include "loaded_library.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "pyxo.h"

namespace {

std::string hex(const uint8_t *bytes, size_t n)
{
    std::string out;
    char two[3];
    for (size_t i = 0; i < n; i++) {
        std::snprintf(two, sizeof two, "%02x", bytes[i]);
        out += two;
    }
    return out;
}

std::vector<uint8_t> bytes_of(const std::string &text)
{
    return std::vector<uint8_t>(text.begin(), text.end());
}

struct Build {
    const char *file;
    bool thread_notifications;
};

void PrintTo(const Build &build, std::ostream *out) { *out << build.file; }

class DllTest : public ::testing::TestWithParam<Build> {
protected:
    void SetUp() override { ASSERT_TRUE(dll.loaded()) << GetParam().file << ": " << GetLastError(); }

    template <typename Function>
    Function *get(const char *name)
    {
        auto *function = dll.get<Function>(name);
        EXPECT_NE(function, nullptr) << GetParam().file << " does not export " << name;
        return function;
    }

    LoadedLibrary dll{GetParam().file};
};

DWORD WINAPI idle_thread(void *) { return 7; }

// vuxamt keeps the loader's thread notifications; vuxast switches them off
// when it is attached.  Either way threads start and end normally.
TEST_P(DllTest, ThreadNotificationsFollowTheRuntimeVariant)
{
    ULONG flags = loader_flags(dll.module());
    ASSERT_NE(flags, 0u) << "module not found in the loader's list";
    EXPECT_EQ((flags & LOADER_NO_THREAD_CALLS) == 0, GetParam().thread_notifications);

    HANDLE thread = CreateThread(nullptr, 0, idle_thread, nullptr, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    CloseHandle(thread);
    EXPECT_EQ(code, 7u);
}

TEST_P(DllTest, Md5OfKnownMessages)
{
    auto *md5_hash = get<decltype(MD5_Hash)>("MD5_Hash");
    if (!md5_hash)
        return;
    struct Case {
        std::string message;
        const char *digest;
    };
    const Case cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {std::string(1000000, 'a'), "7707d6ae4e027c70eea2a935c2296f21"},
    };
    for (const Case &c : cases) {
        auto message = bytes_of(c.message);
        uint8_t digest[16];
        EXPECT_EQ(md5_hash(message.data(), uint32_t(message.size()), digest), digest);
        EXPECT_EQ(hex(digest, 16), c.digest) << "message of " << c.message.size() << " bytes";
    }
}

TEST_P(DllTest, IncrementalMd5InUnevenPieces)
{
    auto *init = get<decltype(MD5Init)>("MD5Init");
    auto *update = get<decltype(MD5Update)>("MD5Update");
    auto *final = get<decltype(MD5Final)>("MD5Final");
    if (!init || !update || !final)
        return;
    auto message = bytes_of(std::string(1000000, 'a'));
    MD5_CTX context;
    init(&context);
    for (size_t at = 0, piece = 1; at < message.size(); at += piece, piece = piece * 3 % 1001)
        update(&context, message.data() + at, uint32_t(std::min(piece, message.size() - at)));
    uint8_t digest[16];
    final(digest, &context);
    EXPECT_EQ(hex(digest, 16), "7707d6ae4e027c70eea2a935c2296f21");
}

TEST_P(DllTest, HmacMd5OfRfcVectors)
{
    auto *hmac = get<decltype(HMAC_MD5)>("HMAC_MD5");
    if (!hmac)
        return;
    struct Case {
        std::vector<uint8_t> key;
        std::string text;
        const char *digest;
    };
    const Case cases[] = {
        {std::vector<uint8_t>(16, 0x0b), "Hi There", "9294727a3638bb1c13f48ef8158bfc9d"},
        {bytes_of("Jefe"), "what do ya want for nothing?", "750c783e6ab0b503eaa86e310a5db738"},
        {std::vector<uint8_t>(80, 0xaa), "Test Using Larger Than Block-Size Key - Hash Key First",
         "6b1ab7fe4bd7bf8f0b62e6ce61b9d0cd"},
    };
    for (const Case &c : cases) {
        auto text = bytes_of(c.text);
        uint8_t digest[16];
        hmac(text.data(), uint32_t(text.size()), c.key.data(), int32_t(c.key.size()), nullptr,
             nullptr, digest);
        EXPECT_EQ(hex(digest, 16), c.digest) << c.text;
    }
}

TEST_P(DllTest, ChapMd5IsTheDigestOfIdentifierSecretAndChallenge)
{
    auto *chap = get<decltype(CHAP_MD5)>("CHAP_MD5");
    if (!chap)
        return;
    auto secret = bytes_of("secret");
    uint8_t challenge[16];
    for (int i = 0; i < 16; i++)
        challenge[i] = uint8_t(i);
    uint8_t digest[16];
    chap(0x101, secret.data(), uint32_t(secret.size()), challenge, 16, digest);
    EXPECT_EQ(hex(digest, 16), "740e86463bda3a4d7017d6e0fba0699d");
}

// Run before the driver is installed: the real CreateFileA fails and the
// context ends closed.
TEST_P(DllTest, OpenWithoutDriverFindsNoDevice)
{
    auto *open = get<decltype(Pyxo_OpenDevice)>("Pyxo_OpenDevice");
    auto *close = get<decltype(Pyxo_CloseDevice)>("Pyxo_CloseDevice");
    if (!open || !close)
        return;
    PYXO_CONTEXT context;
    std::memset(&context, 0xA5, sizeof context);
    EXPECT_EQ(open(&context, PYXO_OPEN_FIRST), PYXO_ERR_NO_DEVICE);
    EXPECT_EQ(context.signature, 0x4D56515Au);
    EXPECT_EQ(context.device_handle, INVALID_HANDLE_VALUE);
    EXPECT_EQ(context.flags, 0u);
    EXPECT_EQ(context.current_file_type, 0xFF);
    EXPECT_EQ(close(&context), PYXO_OK);
}

INSTANTIATE_TEST_SUITE_P(Builds, DllTest,
                         ::testing::Values(Build{"vuxamt.dll", true}, Build{"vuxast.dll", false}),
                         [](const auto &info) {
                             return std::string(info.param.file).substr(0, 6);
                         });

} // namespace
