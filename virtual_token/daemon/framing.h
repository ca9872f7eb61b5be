// The driver socket protocol's frames, as vuxad reads and writes them.
//
// request:  magic u32, code u32, in_size u32, out_size u32, in_size bytes
// response: magic u32, error u32, returned u32, returned bytes
//
// All fields are little-endian.  A request whose magic is wrong or whose
// sizes exceed kMaxFrameData is malformed: the daemon closes that
// connection without answering.
#ifndef VUXAD_FRAMING_H
#define VUXAD_FRAMING_H

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vuxad {

constexpr uint32_t kFrameMagic = 0x31445856; // "VXD1"
constexpr size_t kRequestHeaderSize = 16;
constexpr size_t kResponseHeaderSize = 12;
constexpr uint32_t kMaxFrameData = 1u << 20; // 1 MiB, for input and output alike

struct Request {
    uint32_t code = 0;
    uint32_t out_size = 0;
    std::span<const uint8_t> input; // points into the buffer that was parsed
    size_t frame_size = 0;          // bytes the whole request occupies
};

enum class ParseResult {
    incomplete, // more bytes are needed
    complete,   // one request is ready
    malformed,  // wrong magic or a size above kMaxFrameData
};

// Looks for one request at the start of the bytes received so far.  A
// malformed header is reported as soon as its 16 bytes are there.
ParseResult parse_request(std::span<const uint8_t> received, Request &request);

// Appends one response frame.  output is sent only when error is 0.
void append_response(std::vector<uint8_t> &out, uint32_t error, std::span<const uint8_t> output);

// Little-endian access to a u32 in a byte buffer.
uint32_t load_le32(const uint8_t *p);
void store_le32(uint8_t *p, uint32_t value);

} // namespace vuxad

#endif
