// Pyxo_ReadFile, Pyxo_WriteFile and Pyxo_Decrement: chunking, counts after
// a refusal in the middle, argument checks before anything is sent, the
// guard against word offsets past 16 bits, and the wipe of the write buffer.
#include <cstring>

#include "fs/write.h"
#include "fs_test_util.h"

namespace {

using fs_test::Mirror;
using vuxa_test::DriverReply;
using vuxa_test::hex;

constexpr uint16_t kRead = 0x107;
constexpr uint16_t kWrite = 0x108;
constexpr uint16_t kDecrement = 0x109;
constexpr uint32_t kUntouched = 0xDEADBEEF;

// A token with all 0xFFFF words of memory, playing one file.
struct TransferTest : ::testing::Test {
    vuxa_test::OpenToken token{vuxa_test::kWideModel, 0xFFFF};
    fs_test::FilePlayer player;

    void SetUp() override
    {
        player.attach(token.driver);
        fs_test::set_mirror(token.context, fs_test::kSelected);
    }
    void TearDown() override
    {
        // Reads and writes never change the mirror.
        EXPECT_EQ(fs_test::mirror_of(token.context), fs_test::kSelected);
    }
    std::vector<fs_test::Sent> sent() const { return fs_test::sent_commands(token.driver); }
};

struct ReadCase {
    const char *what;
    uint32_t offset;
    uint32_t length;
    std::optional<int> refuse_at;
    uint8_t refusal;
    uint32_t status;
    uint32_t count;
    std::vector<const char *> requests; // one per command sent
    std::vector<uint32_t> answer_sizes;
};

const ReadCase kReadCases[] = {
    {"130 bytes at offset 10",
     10,
     130,
     std::nullopt,
     0,
     PYXO_OK,
     130,
     {"05 00 20 00", "25 00 20 00", "45 00 01 00"},
     {64, 64, 2}},
    {"100 bytes at 0",
     0,
     100,
     std::nullopt,
     0,
     PYXO_OK,
     100,
     {"00 00 20 00", "20 00 12 00"},
     {64, 36}},
    {"one full chunk", 0x200, 64, std::nullopt, 0, PYXO_OK, 64, {"00 01 20 00"}, {64}},
    {"two bytes", 2, 2, std::nullopt, 0, PYXO_OK, 2, {"01 00 01 00"}, {2}},
    {"last word of the memory", 0x1FFFE, 2, std::nullopt, 0, PYXO_OK, 2, {"FF FF 01 00"}, {2}},
    {"last chunk starts at word 0xFFE0",
     0x1FF80,
     128,
     std::nullopt,
     0,
     PYXO_OK,
     128,
     {"C0 FF 20 00", "E0 FF 20 00"},
     {64, 64}},
    {"nothing to read", 0x1FFFE, 0, std::nullopt, 0, PYXO_OK, 0, {}, {}},
    {"second chunk refused",
     0,
     200,
     1,
     0x2B,
     PYXO_ERR_INVALID_PARAMETER,
     64,
     {"00 00 20 00", "20 00 20 00"},
     {64, 64}},
    {"third chunk refused",
     10,
     130,
     2,
     0x2A,
     PYXO_ERR_NO_SPACE,
     128,
     {"05 00 20 00", "25 00 20 00", "45 00 01 00"},
     {64, 64, 2}},
    {"first chunk refused", 0, 200, 0, 0x21, PYXO_ERR_ACCESS_DENIED, 0, {"00 00 20 00"}, {64}},
    {"chunk answered by a success byte",
     0,
     100,
     1,
     0x00,
     PYXO_ERR_RESPONSE_LENGTH,
     64,
     {"00 00 20 00", "20 00 12 00"},
     {64, 36}},
};

TEST_F(TransferTest, ReadChunks)
{
    for (const ReadCase &c : kReadCases) {
        SCOPED_TRACE(c.what);
        token.driver.clear_requests();
        player.transfers = 0;
        player.refuse_at = c.refuse_at;
        player.refusal = c.refusal;
        std::vector<uint8_t> buffer(c.length + 1, 0xEE);
        uint32_t count = kUntouched;

        EXPECT_EQ(Pyxo_ReadFile(&token.context, buffer.data(), c.offset, c.length, &count),
                  c.status);

        EXPECT_EQ(count, c.count);
        const auto commands = sent();
        ASSERT_EQ(commands.size(), c.requests.size());
        for (size_t i = 0; i < commands.size(); ++i) {
            EXPECT_EQ(commands[i].command, kRead);
            EXPECT_EQ(vuxa_test::to_hex(commands[i].request), fs_test::spelled(c.requests[i]))
                << "chunk " << i;
            EXPECT_EQ(commands[i].out_size, c.answer_sizes[i]) << "chunk " << i;
        }
        // The chunks that completed landed in order; nothing past the length.
        EXPECT_EQ(std::memcmp(buffer.data(), player.image.data() + c.offset, c.count), 0);
        EXPECT_EQ(buffer[c.length], 0xEE);
    }
}

struct WriteCase {
    const char *what;
    uint32_t offset;
    uint32_t length;
    std::optional<int> refuse_at;
    uint32_t status;
    uint32_t count;
    std::vector<const char *> headers; // one per command sent
    std::vector<uint32_t> data_sizes;
};

const WriteCase kWriteCases[] = {
    {"200 bytes at 0",
     0,
     200,
     std::nullopt,
     PYXO_OK,
     200,
     {"00 00 26 00", "26 00 26 00", "4C 00 18 00"},
     {76, 76, 48}},
    {"one full chunk at 4", 4, 76, std::nullopt, PYXO_OK, 76, {"02 00 26 00"}, {76}},
    {"two bytes at the last word", 0x1FFFE, 2, std::nullopt, PYXO_OK, 2, {"FF FF 01 00"}, {2}},
    {"last chunk starts at word 0xFFFF",
     0x1FF66,
     154,
     std::nullopt,
     PYXO_OK,
     154,
     {"B3 FF 26 00", "D9 FF 26 00", "FF FF 01 00"},
     {76, 76, 2}},
    {"nothing to write", 8, 0, std::nullopt, PYXO_OK, 0, {}, {}},
    {"second chunk refused",
     0,
     200,
     1,
     PYXO_ERR_INVALID_PARAMETER,
     76,
     {"00 00 26 00", "26 00 26 00"},
     {76, 76}},
    {"first chunk refused", 6, 10, 0, PYXO_ERR_INVALID_PARAMETER, 0, {"03 00 05 00"}, {10}},
};

TEST_F(TransferTest, WriteChunks)
{
    std::vector<uint8_t> data(400);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = (uint8_t)(0x80 + i * 13);
    for (const WriteCase &c : kWriteCases) {
        SCOPED_TRACE(c.what);
        token.driver.clear_requests();
        player.transfers = 0;
        player.refuse_at = c.refuse_at;
        uint32_t count = kUntouched;

        EXPECT_EQ(Pyxo_WriteFile(&token.context, data.data(), c.offset, c.length, &count),
                  c.status);

        EXPECT_EQ(count, c.count);
        const auto commands = sent();
        ASSERT_EQ(commands.size(), c.headers.size());
        size_t at = 0;
        for (size_t i = 0; i < commands.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(commands[i].command, kWrite);
            EXPECT_EQ(commands[i].out_size, 2u);
            std::vector<uint8_t> expected = hex(c.headers[i]);
            expected.insert(expected.end(), data.begin() + at, data.begin() + at + c.data_sizes[i]);
            EXPECT_EQ(vuxa_test::to_hex(commands[i].request), vuxa_test::to_hex(expected));
            at += c.data_sizes[i];
        }
        EXPECT_EQ(std::memcmp(player.image.data() + c.offset, data.data(), c.count), 0);
    }
}

// A transfer whose chunks would need a word offset past 0xFFFF would wrap
// around to the start of the file: refused whole before anything is sent.
TEST_F(TransferTest, WordOffsetPast16BitsIsRefusedBeforeSending)
{
    const struct {
        const char *what;
        bool write;
        uint32_t offset;
        uint32_t length;
    } cases[] = {
        {"read, second chunk at word 0x10000", false, 0x1FFC0, 66},
        {"read, last of many chunks past", false, 0, 0x20002},
        {"read, length near 4 GiB", false, 0x1FFFE, 0xFFFFFFFE},
        {"write, second chunk at word 0x10000", true, 0x1FFB4, 78},
        {"write, fourth chunk past", true, 0x1FF66, 230},
        {"write, length near 4 GiB", true, 2, 0xFFFFFFFE},
    };
    std::vector<uint8_t> buffer(256);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        token.driver.clear_requests();
        uint32_t count = kUntouched;
        // The length is what the caller claims; the check must refuse before
        // the buffer is touched.
        const uint32_t status =
            c.write ? Pyxo_WriteFile(&token.context, buffer.data(), c.offset, c.length, &count)
                    : Pyxo_ReadFile(&token.context, buffer.data(), c.offset, c.length, &count);
        EXPECT_EQ(status, PYXO_ERR_INVALID_PARAMETER);
        EXPECT_EQ(count, 0u);
        EXPECT_TRUE(sent().empty());
    }
}

// Checks that come before the exchange: they answer on a context that is not
// open, in the order odd, then beyond the memory, then past 16-bit words.
struct ArgumentCase {
    const char *what;
    uint32_t memory_size;
    uint32_t offset;
    uint32_t length;
    uint32_t status;
};

const ArgumentCase kArgumentCases[] = {
    {"odd offset", 0x2000, 1, 2, PYXO_ERR_ODD_LENGTH},
    {"odd length", 0x2000, 0, 3, PYXO_ERR_ODD_LENGTH},
    {"odd offset beyond the memory", 0x2000, 0x2001, 2, PYXO_ERR_ODD_LENGTH},
    {"odd length, offset beyond the memory", 0x2000, 0x2002, 1, PYXO_ERR_ODD_LENGTH},
    {"offset beyond the memory", 0x2000, 0x2002, 2, PYXO_ERR_INVALID_PARAMETER},
    {"offset beyond the memory, length 0", 0x2000, 0x2002, 0, PYXO_ERR_INVALID_PARAMETER},
    {"first chunk at word 0x10000", 0x40000, 0x20000, 2, PYXO_ERR_INVALID_PARAMETER},
    {"later chunk past 16-bit words", 0x40000, 0x1FFC0, 200, PYXO_ERR_INVALID_PARAMETER},
    {"offset at the memory end, length 0", 0x2000, 0x2000, 0, PYXO_OK},
    {"passes the checks", 0x2000, 0x2000, 2, PYXO_ERR_NO_DEVICE},
};

TEST(TransferArguments, CheckedBeforeTheExchangeOnAContextNotOpen)
{
    uint8_t buffer[256] = {};
    for (const ArgumentCase &c : kArgumentCases) {
        SCOPED_TRACE(c.what);
        PYXO_CONTEXT context = vuxa_test::unopened_context();
        context.memory_size = c.memory_size;
        fs_test::set_mirror(context, fs_test::kSelected);
        uint32_t count = kUntouched;
        EXPECT_EQ(Pyxo_ReadFile(&context, buffer, c.offset, c.length, &count), c.status);
        EXPECT_EQ(count, 0u);
        count = kUntouched;
        EXPECT_EQ(Pyxo_WriteFile(&context, buffer, c.offset, c.length, &count), c.status);
        EXPECT_EQ(count, 0u);
        EXPECT_EQ(fs_test::mirror_of(context), fs_test::kSelected);
    }
}

TEST_F(TransferTest, ArgumentErrorsSendNothingOnAnOpenContext)
{
    token.context.memory_size = 0x2000;
    uint8_t buffer[256] = {};
    for (const ArgumentCase &c : kArgumentCases) {
        if (c.memory_size != token.context.memory_size || c.status == PYXO_OK ||
            c.status == PYXO_ERR_NO_DEVICE)
            continue;
        SCOPED_TRACE(c.what);
        token.driver.clear_requests();
        uint32_t count = kUntouched;
        EXPECT_EQ(Pyxo_ReadFile(&token.context, buffer, c.offset, c.length, &count), c.status);
        EXPECT_EQ(count, 0u);
        EXPECT_EQ(Pyxo_WriteFile(&token.context, buffer, c.offset, c.length, &count), c.status);
        EXPECT_EQ(count, 0u);
        EXPECT_TRUE(sent().empty());
    }
}

// The request buffer of a write holds file data, possibly key material: it
// is zero again on every path that copied into it.
TEST_F(TransferTest, WriteBufferIsWipedOnEveryPathThatCopied)
{
    std::vector<uint8_t> data(200, 0x5A);
    const struct {
        const char *what;
        uint32_t length;
        std::optional<int> refuse_at;
        uint32_t status;
    } cases[] = {
        {"all chunks written", 200, std::nullopt, PYXO_OK},
        {"a short single chunk", 6, std::nullopt, PYXO_OK},
        {"second chunk refused", 200, 1, PYXO_ERR_INVALID_PARAMETER},
        {"first chunk refused", 200, 0, PYXO_ERR_INVALID_PARAMETER},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        player.transfers = 0;
        player.refuse_at = c.refuse_at;
        uint8_t request[PYXO_WRITE_REQUEST_SIZE];
        std::memset(request, 0xCC, sizeof request);
        uint32_t count = 0;
        EXPECT_EQ(pyxo_write_file(&token.context, data.data(), 0, c.length, &count, request),
                  c.status);
        EXPECT_EQ(std::vector<uint8_t>(request, request + sizeof request),
                  std::vector<uint8_t>(sizeof request, 0));
    }
}

TEST(WriteBuffer, ArgumentChecksCopyNothing)
{
    PYXO_CONTEXT context = vuxa_test::unopened_context();
    const uint8_t data[4] = {1, 2, 3, 4};
    uint8_t request[PYXO_WRITE_REQUEST_SIZE];
    std::memset(request, 0xCC, sizeof request);
    uint32_t count = 0;
    EXPECT_EQ(pyxo_write_file(&context, data, 1, 4, &count, request), PYXO_ERR_ODD_LENGTH);
    EXPECT_EQ(pyxo_write_file(&context, data, 2, 4, &count, request), PYXO_ERR_INVALID_PARAMETER);
    EXPECT_EQ(std::vector<uint8_t>(request, request + sizeof request),
              std::vector<uint8_t>(sizeof request, 0xCC));
}

TEST(Decrement, SendsNothingButTheCommandAndKeepsTheMirror)
{
    const struct {
        const char *what;
        std::optional<DriverReply> reply;
        uint32_t status;
    } cases[] = {
        {"accepted", std::nullopt, PYXO_OK},
        {"refused", DriverReply::status(0x2A), PYXO_ERR_NO_SPACE},
        {"two bytes", DriverReply::bytes(hex("00 00")), PYXO_ERR_RESPONSE_LENGTH},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        vuxa_test::OpenToken token;
        if (c.reply)
            token.driver.script_command(*c.reply);
        fs_test::set_mirror(token.context, fs_test::kSelected);

        EXPECT_EQ(Pyxo_Decrement(&token.context), c.status);

        const auto sent = fs_test::sent_commands(token.driver);
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].command, kDecrement);
        EXPECT_TRUE(sent[0].request.empty());
        EXPECT_EQ(sent[0].out_size, 2u);
        EXPECT_EQ(fs_test::mirror_of(token.context), fs_test::kSelected);
    }
    PYXO_CONTEXT context = vuxa_test::unopened_context();
    EXPECT_EQ(Pyxo_Decrement(&context), PYXO_ERR_NO_DEVICE);
}

} // namespace
