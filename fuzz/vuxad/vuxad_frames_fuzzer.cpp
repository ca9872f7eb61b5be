// Fuzz target vuxad_frames: vuxad's request handling on arbitrary byte
// streams, without sockets.  Up to three connections receive the input's
// bytes in chunks of the sizes it chooses; each connection is served as
// vuxad's connection loop serves it (virtual_token/daemon/server.cpp,
// Server::serve): parse_request on the bytes received so far, each
// complete request answered through the daemon's own TokenHost::control
// and append_response, a malformed frame ending that connection and
// closing its handle.  The host starts with two tokens, inserted through
// the management control (one host serves every run, put back into that
// state at the start of each).  Checked: parse_request against the frame rule
// of the protocol; the core never returns more than the output offered
// nor any byte with an error; every response frame well formed; and at
// the end, every connection still open is answered normally, whatever the
// others sent.
#include <cstring>
#include <span>
#include <vector>

#include "framing.h"
#include "fuzz_check.h"
#include "fuzz_input.h"
#include "token_host.h"
#include "vtd.h"
#include "vtd_manage.h"

namespace {

constexpr size_t kMaxConnections = 3;
constexpr uint32_t kVersionCode = 0x220400;

struct Connection {
    uint32_t handle = 0;
    bool open = true;
    std::vector<uint8_t> in;  // received, not yet answered
    std::vector<uint8_t> out; // responses
};

// An image of a new token, made once in a driver of its own.
const std::vector<uint8_t> &token_image(uint8_t model)
{
    static std::vector<uint8_t> images[2];
    std::vector<uint8_t> &image = images[model < 0x50 ? 1 : 0];
    if (!image.empty())
        return image;
    std::vector<uint64_t> memory((vtd_driver_size() + 7) / 8);
    vtd_driver *driver = (vtd_driver *)memory.data();
    vtd_driver_init(driver, [](void *, uint8_t *out, size_t n) { memset(out, 0x5A, n); }, nullptr);
    vtd_token_params params{};
    params.model = model;
    params.memory_words = 0x1000;
    FUZZ_CHECK(vtd_new_token(driver, 0, &params) == 0, "a token for the host");
    image.resize(vtd_max_image_size());
    image.resize(vtd_export_image(driver, 0, image.data(), uint32_t(image.size())));
    return image;
}

void insert_token(vuxad::TokenHost &host, uint32_t handle, uint32_t position, uint8_t model)
{
    const std::vector<uint8_t> &image = token_image(model);
    std::vector<uint8_t> block(8);
    vuxad::store_le32(block.data(), position);
    vuxad::store_le32(block.data() + 4, VTD_INSERT_REPLACE);
    block.insert(block.end(), image.begin(), image.end());
    uint32_t returned = 0;
    FUZZ_CHECK(host.control(handle, VTD_IOCTL_INSERT_TOKEN, block, {}, &returned) == 0,
               "inserting a token");
}

// Two tokens, 32- and 16-bit identifiers, at the first positions; the
// others empty.
void reset_positions(vuxad::TokenHost &host, uint32_t handle)
{
    insert_token(host, handle, 0, 0x50);
    insert_token(host, handle, 1, 0x4F);
    for (uint32_t position = 2; position < VTD_POSITIONS; ++position) {
        uint8_t block[4];
        vuxad::store_le32(block, position);
        uint32_t returned = 0;
        host.control(handle, VTD_IOCTL_REMOVE, block, {}, &returned);
    }
}

// The frame rule of the driver socket protocol, for parse_request.
void check_parse(std::span<const uint8_t> received, vuxad::ParseResult result,
                 const vuxad::Request &request)
{
    using vuxad::ParseResult;
    if (received.size() < vuxad::kRequestHeaderSize) {
        FUZZ_CHECK(result == ParseResult::incomplete, "a header needs 16 bytes");
        return;
    }
    const uint32_t in_size = vuxad::load_le32(received.data() + 8);
    const uint32_t out_size = vuxad::load_le32(received.data() + 12);
    if (vuxad::load_le32(received.data()) != vuxad::kFrameMagic ||
        in_size > vuxad::kMaxFrameData || out_size > vuxad::kMaxFrameData) {
        FUZZ_CHECK(result == ParseResult::malformed, "a bad header is malformed at once");
        return;
    }
    if (received.size() - vuxad::kRequestHeaderSize < in_size) {
        FUZZ_CHECK(result == ParseResult::incomplete, "a frame waits for its input");
        return;
    }
    FUZZ_CHECK(result == ParseResult::complete, "a whole frame is complete");
    FUZZ_CHECK(request.code == vuxad::load_le32(received.data() + 4) &&
                   request.out_size == out_size && request.input.size() == in_size &&
                   request.input.data() == received.data() + vuxad::kRequestHeaderSize &&
                   request.frame_size == vuxad::kRequestHeaderSize + in_size,
               "the request as its header says");
}

// Checks and removes the response frames at the front of out.
void check_responses(std::vector<uint8_t> &out, uint32_t out_size)
{
    FUZZ_CHECK(out.size() >= vuxad::kResponseHeaderSize, "a response for every request");
    const uint32_t error = vuxad::load_le32(out.data() + 4);
    const uint32_t returned = vuxad::load_le32(out.data() + 8);
    FUZZ_CHECK(vuxad::load_le32(out.data()) == vuxad::kFrameMagic, "response magic");
    FUZZ_CHECK(returned <= out_size && (error == 0 || returned == 0),
               "a response carries no more than offered, and nothing with an error");
    FUZZ_CHECK(out.size() == vuxad::kResponseHeaderSize + returned, "one frame per request");
    out.clear();
}

// Answers every complete request received, as the daemon's loop does;
// false when the connection is to be closed.
bool serve(vuxad::TokenHost &host, Connection &c)
{
    std::vector<uint8_t> output;
    for (;;) {
        vuxad::Request request;
        const vuxad::ParseResult result = vuxad::parse_request(c.in, request);
        check_parse(c.in, result, request);
        if (result == vuxad::ParseResult::incomplete)
            return true;
        if (result == vuxad::ParseResult::malformed)
            return false;
        output.assign(request.out_size, 0xA5);
        uint32_t returned = 0xDEADBEEF;
        const uint32_t error =
            host.control(c.handle, request.code, request.input, output, &returned);
        FUZZ_CHECK(returned <= request.out_size, "the core returns no more than offered");
        FUZZ_CHECK(error == 0 || returned == 0, "no bytes with an error");
        for (size_t i = returned; i < output.size(); ++i)
            FUZZ_CHECK(output[i] == 0xA5, "nothing written past the bytes returned");
        vuxad::append_response(c.out, error, std::span<const uint8_t>(output.data(), returned));
        check_responses(c.out, request.out_size);
        c.in.erase(c.in.begin(), c.in.begin() + std::ptrdiff_t(request.frame_size));
    }
}

// A connection that is still open answers a plain version query, however
// the others misbehaved.
void check_still_served(vuxad::TokenHost &host, const Connection &c)
{
    std::vector<uint8_t> output(4);
    uint32_t returned = 0;
    const uint32_t error = host.control(c.handle, kVersionCode, {}, output, &returned);
    FUZZ_CHECK(error == 0 && returned == 4 && vuxad::load_le32(output.data()) == 0x100,
               "an open connection is still served");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput in(data, size);
    // One host for all runs, brought back to the same state at the start
    // of each: a fresh one costs more than a run (a megabyte of memory).
    static vuxad::TokenHost &host = *new vuxad::TokenHost;
    Connection connections[kMaxConnections];
    const size_t count = 1 + in.u8() % kMaxConnections;
    for (size_t i = 0; i < count; ++i)
        FUZZ_CHECK(host.open_handle(&connections[i].handle) == 0, "a handle per connection");
    reset_positions(host, connections[0].handle);

    while (!in.empty()) {
        Connection &c = connections[in.u8() % count];
        const size_t chunk = in.flag() ? in.u16() % 4096 : in.u8() % 64;
        const size_t old = c.in.size();
        c.in.resize(old + chunk);
        in.bytes(c.in.data() + old, chunk);
        if (c.open && !serve(host, c)) {
            c.open = false; // the daemon closes it
            host.close_handle(c.handle);
        }
    }
    for (size_t i = 0; i < count; ++i) {
        if (connections[i].open) {
            check_still_served(host, connections[i]);
            host.close_handle(connections[i].handle);
        }
    }
    return 0;
}
