#include "fake_kernel.h"

#include <cstring>
#include <vector>

#include "addressable.h"
#include "device/driver_interface.h"
#include "fuzz_check.h"
#include "util/bytes.h"

namespace fake_kernel {
namespace {

// Issued handles look like Win32 ones: nonzero multiples of four.
constexpr uintptr_t kFirstHandle = 0x5A5A0004;
constexpr DWORD kErrorMoreData = 234; // fails, yet delivers part of the output

struct Kernel {
    FuzzInput *input = nullptr;
    const PYXO_CONTEXT *context = nullptr;
    HANDLE foreign = INVALID_HANDLE_VALUE;
    std::vector<bool> open; // by issue number
    DWORD last_error = 0;
    unsigned controls = 0;
    unsigned commands = 0;
    unsigned driver_opens = 0;
    LastControl last;
};

Kernel kernel;

HANDLE handle_of(size_t issue)
{
    return (HANDLE)(kFirstHandle + 4 * issue);
}

// The issue number of one of our handles, or -1.
long issue_of(HANDLE handle)
{
    const uintptr_t value = (uintptr_t)handle;
    if (handle == kernel.foreign || value < kFirstHandle || (value - kFirstHandle) % 4 != 0)
        return -1;
    const uintptr_t issue = (value - kFirstHandle) / 4;
    return issue < kernel.open.size() ? (long)issue : -1;
}

BOOL fail(DWORD error)
{
    kernel.last_error = error;
    return 0;
}

// The system errors a driver call can fail with: the three the library
// singles out, two ordinary ones, and any value at all.
DWORD chosen_error(uint8_t choice)
{
    switch (choice % 6) {
    case 0:
        return ERROR_ACCESS_DENIED;
    case 1:
        return ERROR_INVALID_HANDLE;
    case 2:
        return ERROR_INVALID_PARAMETER;
    case 3:
        return ERROR_GEN_FAILURE;
    case 4:
        return kErrorMoreData;
    default:
        return kernel.input->u32();
    }
}

// A byte count up to the size offered, mostly the size itself.
DWORD chosen_count(uint8_t choice, DWORD out_size)
{
    switch (choice % 8) {
    case 4:
        return 0;
    case 5:
        return out_size < 1 ? out_size : 1;
    case 6:
        return out_size < 2 ? out_size : 2;
    case 7:
        return kernel.input->below(out_size + 1);
    default:
        return out_size;
    }
}

// What each control code takes and gives, as the library must use it.
void check_request(DWORD code, const uint8_t *in, DWORD in_size, const void *out, DWORD out_size)
{
    switch (code) {
    case PYXO_IOCTL_GET_VERSION:
        FUZZ_CHECK(in_size == 0 && out_size == 4, "version query sizes");
        return;
    case PYXO_IOCTL_ATTACH:
        FUZZ_CHECK(in_size == PYXO_ATTACH_BLOCK_SIZE && out_size == PYXO_ATTACH_BLOCK_SIZE,
                   "attach block sizes");
        FUZZ_CHECK(in == out, "attach answers into its own block");
        FUZZ_CHECK(get_le32(in + PYXO_ATTACH_ATTACH) == 1, "attach sets attach to 1");
        break;
    case PYXO_IOCTL_RELEASE:
        FUZZ_CHECK(in_size == PYXO_ATTACH_BLOCK_SIZE && out_size == 0, "release block sizes");
        FUZZ_CHECK(get_le32(in + PYXO_ATTACH_ATTACH) == 0, "release sets attach to 0");
        break;
    case PYXO_IOCTL_COMMAND:
        FUZZ_CHECK(in_size == PYXO_COMMAND_BLOCK_SIZE, "command block size");
        FUZZ_CHECK(out_size <= 64, "no answer offered above 64 bytes");
        FUZZ_CHECK(get_le32(in + 4) == 0, "reserved word of the command block");
        FUZZ_CHECK(get_le16(in + PYXO_COMMAND_PAYLOAD_LENGTH) <= PYXO_PAYLOAD_CAPACITY,
                   "payload length within the block");
        break;
    default:
        FUZZ_CHECK(false, "unknown I/O control code");
    }
    FUZZ_CHECK(get_le32(in) == kernel.context->device_index,
               "every block names the context's device_index");
}

// Fills the output with count bytes of the input.
BOOL deliver(void *out, DWORD count, DWORD *bytes_returned, bool succeed, DWORD error)
{
    kernel.input->bytes(out, count);
    *bytes_returned = count;
    kernel.last.succeeded = succeed;
    kernel.last.count = count;
    return succeed ? 1 : fail(error);
}

} // namespace

void begin(FuzzInput *input, const PYXO_CONTEXT *context, HANDLE foreign)
{
    kernel = Kernel{};
    kernel.input = input;
    kernel.context = context;
    kernel.foreign = foreign;
}

unsigned controls()
{
    return kernel.controls;
}

unsigned commands()
{
    return kernel.commands;
}

unsigned driver_opens()
{
    return kernel.driver_opens;
}

const LastControl &last_control()
{
    return kernel.last;
}

size_t open_handles()
{
    size_t n = 0;
    for (bool open : kernel.open)
        n += open ? 1 : 0;
    return n;
}

bool is_open(HANDLE handle)
{
    const long issue = issue_of(handle);
    return issue >= 0 && kernel.open[size_t(issue)];
}

} // namespace fake_kernel

using fake_kernel::kernel;

extern "C" HANDLE CreateFileA(const char *file_name, DWORD desired_access, DWORD share_mode,
                              void *security_attributes, DWORD creation_disposition,
                              DWORD flags_and_attributes, HANDLE template_file)
{
    FUZZ_CHECK(strcmp(file_name, PYXO_DRIVER_PATH) == 0, "the driver's device path");
    FUZZ_CHECK(desired_access == (GENERIC_READ | GENERIC_WRITE) &&
                   share_mode == (FILE_SHARE_READ | FILE_SHARE_WRITE) &&
                   security_attributes == nullptr && creation_disposition == OPEN_EXISTING &&
                   flags_and_attributes == 0 && template_file == nullptr,
               "CreateFileA arguments");
    ++kernel.driver_opens;
    const uint8_t choice = kernel.input->u8();
    if (choice % 8 == 0) {
        fake_kernel::fail(fake_kernel::chosen_error(choice >> 3));
        return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = fake_kernel::handle_of(kernel.open.size());
    if (handle == kernel.foreign) { // never hand out what the record held before
        kernel.open.push_back(false);
        handle = fake_kernel::handle_of(kernel.open.size());
    }
    kernel.open.push_back(true);
    return handle;
}

extern "C" BOOL CloseHandle(HANDLE object)
{
    const long issue = fake_kernel::issue_of(object);
    if (issue < 0)
        return fake_kernel::fail(ERROR_INVALID_HANDLE); // not ours: garbage in the record
    FUZZ_CHECK(kernel.open[size_t(issue)], "a handle closed twice");
    kernel.open[size_t(issue)] = false;
    return 1;
}

extern "C" DWORD GetLastError(void)
{
    return kernel.last_error;
}

extern "C" BOOL DeviceIoControl(HANDLE device, DWORD control_code, void *in_buffer, DWORD in_size,
                                void *out_buffer, DWORD out_size, DWORD *bytes_returned,
                                void *overlapped)
{
    const long issue = fake_kernel::issue_of(device);
    FUZZ_CHECK(issue < 0 || kernel.open[size_t(issue)], "I/O control on a closed handle");
    FUZZ_CHECK(overlapped == nullptr, "synchronous calls only");
    FUZZ_CHECK(bytes_returned != nullptr, "the library always takes the byte count");
    FUZZ_CHECK(in_size == 0 || addressable(in_buffer, in_size), "input buffer as large as claimed");
    FUZZ_CHECK(out_size == 0 || addressable(out_buffer, out_size),
               "output buffer as large as claimed");
    fake_kernel::check_request(control_code, (const uint8_t *)in_buffer, in_size, out_buffer,
                               out_size);
    ++kernel.controls;
    kernel.commands += control_code == PYXO_IOCTL_COMMAND ? 1 : 0;
    kernel.last = fake_kernel::LastControl{control_code, false, 0};

    const uint8_t choice = kernel.input->u8();
    if (choice % 8 == 0) {
        const DWORD error = fake_kernel::chosen_error(choice >> 3);
        // Only "more data" delivers anything along with the failure.
        const DWORD count =
            error == fake_kernel::kErrorMoreData ? kernel.input->below(out_size + 1) : 0;
        return fake_kernel::deliver(out_buffer, count, bytes_returned, false, error);
    }
    const DWORD count = fake_kernel::chosen_count(choice >> 3, out_size);
    return fake_kernel::deliver(out_buffer, count, bytes_returned, true, 0);
}
