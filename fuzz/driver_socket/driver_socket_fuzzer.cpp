// Fuzz target driver_socket: the POSIX stand-in's DeviceIoControl against
// a driver that may answer anything.  The input describes a few calls
// (control code, sizes, and now and then a bad handle or bad arguments);
// the rest of it is the byte stream the "driver" answers with: it is
// written into the other end of a socket pair before the calls and that
// end is shut for writing, so the stand-in meets well-formed frames,
// wrong magic, error codes with and without data, counts above the size
// it offered, and streams that end in the middle of a frame, all without
// a thread.  A model of the protocol says what each call must return,
// which error GetLastError must report, how many bytes and which ones
// must arrive, and what request frame the driver must have received.
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "exact_buffer.h"
#include "fuzz_check.h"
#include "fuzz_input.h"
#include "platform/platform.h"
#include "platform/posix/handle.h"
#include "platform/posix/protocol.h"
#include "util/bytes.h"

namespace {

constexpr size_t kMaxCalls = 8;
constexpr size_t kMaxStream = 32 * 1024; // fits the socket buffer at once
constexpr uint32_t kMaxInput = 300;
constexpr uint32_t kMaxOutput = 300;

enum class HandleKind { ours, invalid, null, misaligned, not_a_socket };

struct Call {
    HandleKind handle = HandleKind::ours;
    uint32_t code = 0;
    uint32_t in_size = 0;
    uint32_t out_size = 0;
    bool null_in = false;  // a null input buffer with its size
    bool null_out = false; // a null output buffer with its size
    bool overlapped = false;
};

uint32_t choose_code(FuzzInput &in)
{
    static const uint32_t kCodes[] = {0x220400, 0x220404, 0x220408, 0x22040C};
    const uint8_t choice = in.u8();
    return choice < 0xF0 ? kCodes[choice % 4] : in.u32();
}

// A size: mostly up to typical, now and then above the frame limit (refused
// before anything is sent) or, for output, anything up to the limit.  An
// input larger than the socket buffer would block the single thread.
uint32_t choose_size(FuzzInput &in, uint32_t typical, bool output)
{
    const uint8_t choice = in.u8();
    if (choice == 0xFF)
        return PYXO_FRAME_MAX_DATA + 1 + in.u16();
    if (choice == 0xFE)
        return PYXO_FRAME_MAX_DATA + 1 + in.u32() % (0xFFFFFFFFu - PYXO_FRAME_MAX_DATA);
    if (choice == 0xFD && output)
        return in.below(PYXO_FRAME_MAX_DATA + 1);
    return in.below(typical + 1);
}

Call choose_call(FuzzInput &in)
{
    Call call;
    const uint8_t oddities = in.u8();
    switch (oddities & 0x0F) {
    case 1:
        call.handle = HandleKind::invalid;
        break;
    case 2:
        call.handle = HandleKind::null;
        break;
    case 3:
        call.handle = HandleKind::misaligned;
        break;
    case 4:
        call.handle = HandleKind::not_a_socket;
        break;
    default:
        break;
    }
    call.null_in = (oddities & 0x30) == 0x30;
    call.null_out = (oddities & 0xC0) == 0xC0;
    call.overlapped = oddities == 0x5F;
    call.code = choose_code(in);
    call.in_size = choose_size(in, kMaxInput, false);
    call.out_size = choose_size(in, kMaxOutput, true);
    return call;
}

// What one call must do, as the protocol says.
struct Expected {
    bool succeeded = false;
    DWORD error = 0;
    std::vector<uint8_t> output; // the bytes that must arrive
    bool frame_sent = false;     // whether a request frame goes out
};

// The driver's side: the answer stream and whether the link still holds.
struct Model {
    const uint8_t *stream;
    size_t size;
    size_t used = 0;
    bool broken = false;

    // Takes n bytes of the stream; false when it ends first.
    bool take(size_t n, const uint8_t **bytes)
    {
        if (size - used < n) {
            used = size;
            return false;
        }
        *bytes = stream + used;
        used += n;
        return true;
    }

    Expected broken_link()
    {
        broken = true;
        Expected e;
        e.error = ERROR_GEN_FAILURE;
        e.frame_sent = true;
        return e;
    }

    Expected answer(const Call &call)
    {
        Expected e;
        const bool descriptor = call.handle == HandleKind::ours ||
                                call.handle == HandleKind::not_a_socket;
        if (!descriptor) {
            e.error = ERROR_INVALID_HANDLE; // decodes to no descriptor at all
            return e;
        }
        if (call.overlapped || call.in_size > PYXO_FRAME_MAX_DATA ||
            call.out_size > PYXO_FRAME_MAX_DATA || (call.null_in && call.in_size > 0) ||
            (call.null_out && call.out_size > 0)) {
            e.error = ERROR_INVALID_PARAMETER;
            return e;
        }
        if (call.handle == HandleKind::not_a_socket) {
            e.error = ERROR_INVALID_HANDLE; // a descriptor, but none of ours
            return e;
        }
        if (broken)
            return broken_link(); // shut down: the send fails
        const uint8_t *header = nullptr;
        if (!take(PYXO_RESPONSE_HEADER_SIZE, &header))
            return broken_link();
        const uint32_t error = get_le32(header + PYXO_RESPONSE_ERROR);
        const uint32_t returned = get_le32(header + PYXO_RESPONSE_RETURNED);
        if (get_le32(header + PYXO_RESPONSE_MAGIC) != PYXO_FRAME_MAGIC ||
            returned > call.out_size || (error != 0 && returned != 0))
            return broken_link();
        const uint8_t *data = nullptr;
        if (!take(returned, &data))
            return broken_link();
        e.frame_sent = true;
        e.succeeded = error == 0;
        e.error = error;
        if (e.succeeded)
            e.output.assign(data, data + returned);
        return e;
    }
};

struct Link {
    int library = -1; // the stand-in's end
    int driver = -1;  // the end that plays the driver
    int not_a_socket = -1;

    Link()
    {
        int fds[2];
        FUZZ_CHECK(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) == 0, "socketpair");
        library = fds[0];
        driver = fds[1];
        const int size = 4 * kMaxStream;
        setsockopt(driver, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
        not_a_socket = open("/dev/null", O_RDWR | O_CLOEXEC);
        FUZZ_CHECK(not_a_socket >= 0, "/dev/null");
    }
    ~Link()
    {
        close(library);
        close(driver);
        close(not_a_socket);
    }

    HANDLE handle(HandleKind kind) const
    {
        switch (kind) {
        case HandleKind::ours:
            return pyxo_handle_from_fd(library);
        case HandleKind::invalid:
            return INVALID_HANDLE_VALUE;
        case HandleKind::null:
            return nullptr;
        case HandleKind::misaligned:
            return (HANDLE)((uintptr_t)pyxo_handle_from_fd(library) + 1);
        case HandleKind::not_a_socket:
            return pyxo_handle_from_fd(not_a_socket);
        }
        return nullptr;
    }

    // Everything the stand-in sent since the last call.
    std::vector<uint8_t> drain() const
    {
        std::vector<uint8_t> sent;
        uint8_t chunk[4096];
        for (;;) {
            const ssize_t n = recv(driver, chunk, sizeof chunk, MSG_DONTWAIT);
            if (n <= 0)
                return sent;
            sent.insert(sent.end(), chunk, chunk + n);
        }
    }
};

std::vector<uint8_t> request_frame(const Call &call, const ExactBuffer &input)
{
    std::vector<uint8_t> frame(PYXO_REQUEST_HEADER_SIZE);
    put_le32(frame.data() + PYXO_REQUEST_MAGIC, PYXO_FRAME_MAGIC);
    put_le32(frame.data() + PYXO_REQUEST_CODE, call.code);
    put_le32(frame.data() + PYXO_REQUEST_IN_SIZE, call.in_size);
    put_le32(frame.data() + PYXO_REQUEST_OUT_SIZE, call.out_size);
    frame.insert(frame.end(), input.data(), input.data() + input.size());
    return frame;
}

void run_call(const Link &link, Model &model, const Call &call, FuzzInput &in)
{
    // Buffers as large as the sizes claim, unless those are refused anyway.
    const uint32_t in_room = call.in_size <= PYXO_FRAME_MAX_DATA ? call.in_size : 0;
    const uint32_t out_room = call.out_size <= PYXO_FRAME_MAX_DATA ? call.out_size : 0;
    const ExactBuffer input(in_room, in);
    ExactBuffer output(out_room);
    const ExactBuffer untouched = output.copy();
    int overlapped_dummy = 0;
    DWORD count = 0xDEADBEEF;

    const bool link_was_up = !model.broken;
    const Expected expected = model.answer(call);
    const BOOL ok = DeviceIoControl(
        link.handle(call.handle), call.code,
        call.null_in ? nullptr : const_cast<uint8_t *>(input.data()), call.in_size,
        call.null_out ? nullptr : output.data(), call.out_size, &count,
        call.overlapped ? &overlapped_dummy : nullptr);

    FUZZ_CHECK((ok != 0) == expected.succeeded, "success as the answer says");
    if (ok) {
        FUZZ_CHECK(count == expected.output.size(), "count as the answer says");
        FUZZ_CHECK(memcmp(output.data(), expected.output.data(), count) == 0,
                   "output as the answer says");
        FUZZ_CHECK(memcmp(output.data() + count, untouched.data() + count, out_room - count) == 0,
                   "nothing written past the answer");
    } else {
        FUZZ_CHECK(count == 0, "no byte count on failure");
        FUZZ_CHECK(GetLastError() == expected.error, "the error as the answer says");
    }
    const std::vector<uint8_t> sent = link.drain();
    if (expected.frame_sent && link_was_up)
        FUZZ_CHECK(sent == request_frame(call, input), "the request frame on the wire");
    if (!expected.frame_sent)
        FUZZ_CHECK(sent.empty(), "refused calls send nothing");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput in(data, size);
    const size_t calls = 1 + in.u8() % kMaxCalls;
    std::vector<Call> plan;
    for (size_t i = 0; i < calls; ++i)
        plan.push_back(choose_call(in));
    // The answer stream is the end of the input; what the calls' own input
    // buffers take comes from its front.
    const size_t stream_size = in.remaining() < kMaxStream ? in.remaining() : kMaxStream;
    std::vector<uint8_t> stream(stream_size);
    in.bytes(stream.data(), stream.size());

    Link link;
    if (!stream.empty())
        FUZZ_CHECK(write(link.driver, stream.data(), stream.size()) == ssize_t(stream.size()),
                   "the whole answer stream fits the socket");
    shutdown(link.driver, SHUT_WR); // past the stream, the stand-in reads an end
    Model model{stream.data(), stream.size()};
    FuzzInput buffers(stream.data(), stream.size()); // contents of input buffers
    for (const Call &call : plan)
        run_call(link, model, call, buffers);
    return 0;
}
