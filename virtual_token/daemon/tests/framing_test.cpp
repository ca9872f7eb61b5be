// The request parser and response encoder of the driver socket protocol.
#include <gtest/gtest.h>

#include "framing.h"

namespace vuxad {
namespace {

std::vector<uint8_t> header(uint32_t magic, uint32_t code, uint32_t in_size, uint32_t out_size)
{
    std::vector<uint8_t> bytes(16);
    store_le32(&bytes[0], magic);
    store_le32(&bytes[4], code);
    store_le32(&bytes[8], in_size);
    store_le32(&bytes[12], out_size);
    return bytes;
}

std::vector<uint8_t> with_input(std::vector<uint8_t> bytes, size_t input_bytes)
{
    for (size_t i = 0; i < input_bytes; ++i)
        bytes.push_back(uint8_t(0xA0 + i));
    return bytes;
}

struct ParseCase {
    const char *name;
    std::vector<uint8_t> received;
    ParseResult expected;
};

TEST(Framing, ParsesOnlyWellFormedCompleteRequests)
{
    const uint32_t max = kMaxFrameData;
    const ParseCase cases[] = {
        {"nothing yet", {}, ParseResult::incomplete},
        {"15 header bytes", std::vector<uint8_t>(15, 0x56), ParseResult::incomplete},
        {"empty request", header(kFrameMagic, 1, 0, 4), ParseResult::complete},
        {"input still missing", with_input(header(kFrameMagic, 1, 4, 0), 3),
         ParseResult::incomplete},
        {"input complete", with_input(header(kFrameMagic, 1, 4, 0), 4), ParseResult::complete},
        {"wrong magic", header(0x31445857, 1, 0, 0), ParseResult::malformed},
        {"byte-swapped magic", header(0x56584431, 1, 0, 0), ParseResult::malformed},
        {"input of 1 MiB announced", header(kFrameMagic, 1, max, 0), ParseResult::incomplete},
        {"input above 1 MiB", header(kFrameMagic, 1, max + 1, 0), ParseResult::malformed},
        {"output of 1 MiB", header(kFrameMagic, 1, 0, max), ParseResult::complete},
        {"output above 1 MiB", header(kFrameMagic, 1, 0, max + 1), ParseResult::malformed},
        {"output of 4 GiB - 1", header(kFrameMagic, 1, 0, 0xFFFFFFFF), ParseResult::malformed},
    };
    for (const ParseCase &c : cases) {
        Request request;
        EXPECT_EQ(parse_request(c.received, request), c.expected) << c.name;
    }
}

TEST(Framing, RequestFieldsComeFromTheFrontFrame)
{
    std::vector<uint8_t> two = with_input(header(kFrameMagic, 0x22040C, 3, 64), 3);
    std::vector<uint8_t> second = header(kFrameMagic, 0x220400, 0, 4);
    two.insert(two.end(), second.begin(), second.end());

    Request request;
    ASSERT_EQ(parse_request(two, request), ParseResult::complete);
    EXPECT_EQ(request.code, 0x22040Cu);
    EXPECT_EQ(request.out_size, 64u);
    EXPECT_EQ(request.frame_size, 19u);
    EXPECT_EQ(std::vector<uint8_t>(request.input.begin(), request.input.end()),
              (std::vector<uint8_t>{0xA0, 0xA1, 0xA2}));
}

TEST(Framing, ResponseCarriesOutputOnlyOnSuccess)
{
    std::vector<uint8_t> out;
    const uint8_t data[] = {0x11, 0x22, 0x33};
    append_response(out, 0, data);
    append_response(out, 31, data);
    EXPECT_EQ(out, (std::vector<uint8_t>{0x56, 0x58, 0x44, 0x31, 0x00, 0x00, 0x00, 0x00,
                                         0x03, 0x00, 0x00, 0x00, 0x11, 0x22, 0x33, //
                                         0x56, 0x58, 0x44, 0x31, 0x1F, 0x00, 0x00, 0x00,
                                         0x00, 0x00, 0x00, 0x00}));
}

} // namespace
} // namespace vuxad
