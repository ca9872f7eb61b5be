// Fuzz target token_calls: every exported token function, called with
// arguments the input chooses, on a record in any state (zero-filled,
// garbage, garbage carrying the signature, opened, closed), over a kernel
// whose every answer the input chooses as well (fake_kernel.cpp).  Besides
// not crashing and not touching memory past any buffer, each call is
// checked against what it promises (ops_*.cpp), and after each call the
// record as a whole: no handle leaked, a record the library initialised
// stays consistent, the reserved bytes are never written.
#include <cstring>
#include <memory>

#include "run.h"

namespace {

// Upper bound of calls in one run; the input usually runs out first.
constexpr unsigned kMaxCalls = 256;

const Operation *const kSubsystems[] = {kDeviceOperations, kFileOperations, kAuthOperations,
                                        kHashOperations};

size_t operation_count(const Operation *operations)
{
    size_t n = 0;
    while (operations[n] != nullptr)
        ++n;
    return n;
}

// The record the run starts from.
void prepare_record(FuzzInput &in, PYXO_CONTEXT *context)
{
    switch (in.u8() % 3) {
    case 0:
        memset(context, 0, sizeof *context);
        return;
    case 1:
        in.bytes(context, sizeof *context);
        return;
    default: // garbage that the library takes for one of its records
        in.bytes(context, sizeof *context);
        context->signature = kSignature;
        const uint8_t handle = in.u8() % 3;
        context->device_handle = handle == 0   ? INVALID_HANDLE_VALUE
                                 : handle == 1 ? nullptr
                                               : context->device_handle;
        return;
    }
}

void check_after_call(const Run &run, const RecordImage &before)
{
    const PYXO_CONTEXT &c = *run.context;
    const size_t open = fake_kernel::open_handles();
    FUZZ_CHECK(open == 0 || (open == 1 && fake_kernel::is_open(c.device_handle)),
               "every live driver handle is the record's");
    if (c.signature == kSignature && memcmp(before.bytes, &c, sizeof c.signature) != 0) {
        FUZZ_CHECK(reserved_all_zero(c), "initialisation clears the reserved bytes");
    } else {
        FUZZ_CHECK(memcmp(before.bytes + offsetof(PYXO_CONTEXT, reserved), c.reserved,
                          sizeof c.reserved) == 0,
                   "the reserved bytes are never written");
    }
    if (!run.pristine)
        return;
    FUZZ_CHECK(c.signature == kSignature && c.context_version == 2, "signature and version");
    FUZZ_CHECK((c.flags & ~PYXO_FLAG_ATTACHED) == 0, "no flag but the attachment");
    const bool attached = (c.flags & PYXO_FLAG_ATTACHED) != 0;
    FUZZ_CHECK(attached == (c.device_handle != INVALID_HANDLE_VALUE),
               "outside an open, a handle means an attached token");
    if (attached)
        FUZZ_CHECK(fake_kernel::is_open(c.device_handle), "the record's handle is live");
}

void call_one(Run &run)
{
    const Operation *operations = kSubsystems[run.in.u8() % 4];
    const Operation operation = operations[run.in.below(uint32_t(operation_count(operations)))];
    const RecordImage before = RecordImage::of(*run.context);
    operation(run);
    check_after_call(run, before);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput in(data, size);
    // On the heap and exactly 424 bytes: a write past it is reported.
    std::unique_ptr<PYXO_CONTEXT> context(new PYXO_CONTEXT);
    prepare_record(in, context.get());
    fake_kernel::begin(&in, context.get(),
                       context->signature == kSignature ? context->device_handle
                                                        : INVALID_HANDLE_VALUE);
    Run run{in, context.get(), false};
    for (unsigned calls = 0; calls < kMaxCalls && !in.empty(); ++calls)
        call_one(run);
    Pyxo_CloseDevice(context.get());
    FUZZ_CHECK(fake_kernel::open_handles() == 0, "closing leaves no driver handle open");
    return 0;
}
