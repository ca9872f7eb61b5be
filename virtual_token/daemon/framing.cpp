#include "framing.h"

namespace vuxad {

uint32_t load_le32(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void store_le32(uint8_t *p, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(value >> (8 * i));
}

ParseResult parse_request(std::span<const uint8_t> received, Request &request)
{
    if (received.size() < kRequestHeaderSize)
        return ParseResult::incomplete;
    const uint8_t *header = received.data();
    uint32_t in_size = load_le32(header + 8);
    uint32_t out_size = load_le32(header + 12);
    if (load_le32(header) != kFrameMagic || in_size > kMaxFrameData || out_size > kMaxFrameData)
        return ParseResult::malformed;
    if (received.size() - kRequestHeaderSize < in_size)
        return ParseResult::incomplete;
    request.code = load_le32(header + 4);
    request.out_size = out_size;
    request.input = received.subspan(kRequestHeaderSize, in_size);
    request.frame_size = kRequestHeaderSize + in_size;
    return ParseResult::complete;
}

void append_response(std::vector<uint8_t> &out, uint32_t error, std::span<const uint8_t> output)
{
    if (error != 0)
        output = {};
    size_t start = out.size();
    out.resize(start + kResponseHeaderSize);
    store_le32(out.data() + start, kFrameMagic);
    store_le32(out.data() + start + 4, error);
    store_le32(out.data() + start + 8, uint32_t(output.size()));
    out.insert(out.end(), output.begin(), output.end());
}

} // namespace vuxad
