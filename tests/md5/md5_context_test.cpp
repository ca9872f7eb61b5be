// What MD5Init, MD5Update and MD5Final leave in MD5_CTX: the bit count
// (padding included after MD5Final), the chaining words, the bytes pending
// in buffer, and reserved, which no function touches.
#include <gtest/gtest.h>

#include "md5/md5_internal.h"
#include "md5_test_support.h"

namespace {

constexpr uint8_t kCanary = 0xA5;

// A record whose every byte starts as the canary.
MD5_CTX filled_record()
{
    MD5_CTX context;
    std::memset(&context, kCanary, sizeof context);
    return context;
}

// The record agrees with the model wherever the rules define it: count,
// state and the pending bytes of buffer; reserved still holds the canary.
void expect_matches(const MD5_CTX &context, const Md5Model &model)
{
    EXPECT_EQ(context.count[0], model.count[0]);
    EXPECT_EQ(context.count[1], model.count[1]);
    EXPECT_EQ(state_hex(context.state), state_hex(model.state));
    const uint32_t pending = model.pending();
    EXPECT_EQ(to_hex(context.buffer, pending), to_hex(model.buffer, pending));
    EXPECT_EQ(to_hex(context.reserved, 16), to_hex(repeat(kCanary, 16).data(), 16));
}

TEST(Md5Context, InitSetsCountAndStateOnly)
{
    MD5_CTX context = filled_record();
    MD5Init(&context);
    EXPECT_EQ(context.count[0], 0u);
    EXPECT_EQ(context.count[1], 0u);
    EXPECT_EQ(context.state[0], 0x67452301u);
    EXPECT_EQ(context.state[1], 0xEFCDAB89u);
    EXPECT_EQ(context.state[2], 0x98BADCFEu);
    EXPECT_EQ(context.state[3], 0x10325476u);
    for (uint8_t b : context.buffer)
        EXPECT_EQ(b, kCanary);
    for (uint8_t b : context.reserved)
        EXPECT_EQ(b, kCanary);
}

TEST(Md5Context, EmptyUpdateChangesNothing)
{
    MD5_CTX context = filled_record();
    MD5Init(&context);
    const Bytes message = bytes_of("some bytes held in buffer");
    MD5Update(&context, message.data(), (uint32_t)message.size());
    const MD5_CTX before = context;
    MD5Update(&context, nullptr, 0);
    EXPECT_EQ(std::memcmp(&before, &context, sizeof context), 0);
}

struct PaddingCase {
    uint32_t message_length;
    uint32_t held;       // bytes pending when MD5Final starts
    uint32_t pad_length; // padding bytes MD5Final adds
};

// The padding runs up to 56 bytes modulo 64 and is at least one byte: with
// 56 or more held it fills the block, which is compressed, and 56 more.
TEST(Md5Context, FinalPaddingAndWhatItLeaves)
{
    const PaddingCase cases[] = {
        {0, 0, 56},   {1, 1, 55},  {55, 55, 1},  {56, 56, 64},
        {63, 63, 57}, {64, 0, 56}, {119, 55, 1}, {120, 56, 64},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.message_length);
        std::mt19937 rng(c.message_length);
        const Bytes message = random_bytes(rng, c.message_length);
        MD5_CTX context = filled_record();
        MD5Init(&context);
        MD5Update(&context, message.data(), c.message_length);
        ASSERT_EQ((context.count[0] >> 3) & 63, c.held);
        uint8_t digest[16];
        MD5Final(digest, &context);

        EXPECT_EQ(to_hex(digest, 16), openssl_md5(message));
        EXPECT_EQ(state_hex(context.state), to_hex(digest, 16));
        EXPECT_EQ(context.count[0], (c.message_length + c.pad_length) * 8);
        EXPECT_EQ(context.count[1], 0u);
        // 56 bytes pending: the held bytes and 0x80 when they fit before
        // the length, otherwise the zeros of the second padding block.
        Bytes expected(56, 0);
        if (c.held < 56) {
            std::copy(message.end() - c.held, message.end(), expected.begin());
            expected[c.held] = 0x80;
        }
        EXPECT_EQ(to_hex(context.buffer, 56), to_hex(expected.data(), 56));
        for (uint8_t b : context.reserved)
            EXPECT_EQ(b, kCanary);
    }
}

TEST(Md5Context, EmptyMessageCountsItsPadding)
{
    MD5_CTX context;
    MD5Init(&context);
    uint8_t digest[16];
    MD5Final(digest, &context);
    EXPECT_EQ(context.count[0], 448u);
    EXPECT_EQ(context.count[1], 0u);
    EXPECT_EQ(state_hex(context.state), "d41d8cd98f00b204e9800998ecf8427e");
}

struct CountCase {
    uint32_t low, high; // count before the update
    uint32_t length;    // bytes added
    uint32_t new_low, new_high;
};

// The bit count is one 64-bit number kept in two words.
TEST(Md5Context, BitCountCarriesIntoHighWord)
{
    const CountCase cases[] = {
        {0xFFFFFFF0, 0, 4, 0x00000010, 1},          {0xFFFFFFF0, 41, 4, 0x00000010, 42},
        {0xFFFFFFE0, 7, 4, 0x00000000, 8},          {0xFFFFFFD8, 7, 4, 0xFFFFFFF8, 7},
        {0xFFFFFFF8, 0xFFFFFFFF, 1, 0x00000000, 0}, // wraps modulo 2^64
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(::testing::Message() << std::hex << c.high << ":" << c.low);
        MD5_CTX context = filled_record();
        MD5Init(&context);
        context.count[0] = c.low;
        context.count[1] = c.high;
        Md5Model model(context);
        const uint8_t bytes[4] = {1, 2, 3, 4};
        MD5Update(&context, bytes, c.length);
        model.update(bytes, c.length);
        EXPECT_EQ(context.count[0], c.new_low);
        EXPECT_EQ(context.count[1], c.new_high);
        expect_matches(context, model);
    }
}

// Lengths of 2^29 bytes and more add to the high word by themselves
// (2^29 bytes are 2^32 bits); checked on the count alone, as hashing that
// many bytes would take too long.
TEST(Md5Context, LongUpdatesCountIntoHighWord)
{
    const CountCase cases[] = {
        {0, 0, 0x20000000, 0, 1},
        {0x00000008, 3, 0x20000000, 0x00000008, 4},
        {0, 0, 0xFFFFFFFF, 0xFFFFFFF8, 7},
        {0x00000010, 0, 0xFFFFFFFF, 0x00000008, 8},
        {0xFFFFFFF8, 0xFFFFFFF8, 0xFFFFFFFF, 0xFFFFFFF0, 0}, // wraps modulo 2^64
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(::testing::Message() << std::hex << c.length);
        uint32_t count[2] = {c.low, c.high};
        md5_add_to_count(count, c.length);
        const uint64_t expected = ((uint64_t)c.high << 32 | c.low) + ((uint64_t)c.length << 3);
        EXPECT_EQ(count[0], c.new_low);
        EXPECT_EQ(count[1], c.new_high);
        EXPECT_EQ(count[0], (uint32_t)expected);
        EXPECT_EQ(count[1], (uint32_t)(expected >> 32));
    }
}

// Random sequences of updates, finals and updates after a final, on a
// record that starts from garbage (nothing checks the order of calls): the
// record follows the model after every call.
TEST(Md5Context, FollowsTheModelThroughAnySequence)
{
    std::mt19937 rng(1321);
    for (int round = 0; round < 200; round++) {
        SCOPED_TRACE(round);
        MD5_CTX context = filled_record();
        for (auto &b : context.buffer)
            b = (uint8_t)rng();
        for (auto &w : context.state)
            w = (uint32_t)rng();
        context.count[0] = (uint32_t)rng();
        context.count[1] = (uint32_t)rng();
        if (round % 2 == 0)
            MD5Init(&context);
        Md5Model model(context);
        expect_matches(context, model);
        for (int call = 0; call < 12; call++) {
            if (rng() % 5 == 0) {
                uint8_t digest[16], model_digest[16];
                MD5Final(digest, &context);
                model.final(model_digest);
                EXPECT_EQ(to_hex(digest, 16), to_hex(model_digest, 16));
            } else {
                const uint32_t sizes[] = {0, 1, 7, 55, 56, 63, 64, 65, 128, 200};
                const uint32_t length = sizes[rng() % 10];
                const Bytes input = random_bytes(rng, length);
                MD5Update(&context, input.data(), length);
                model.update(input.data(), length);
            }
            expect_matches(context, model);
            if (HasFailure())
                return;
        }
    }
}

} // namespace
