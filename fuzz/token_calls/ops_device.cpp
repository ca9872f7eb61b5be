// Opening, closing and the device services.
#include <cstring>

#include "device/driver_interface.h"
#include "exact_buffer.h"
#include "run.h"

namespace {

constexpr uint32_t kModeMask = 0x0F;
constexpr uint32_t kResponseCapacity = 64;

const size_t kCloseFields[][2] = {
    RECORD_FIELD(device_handle),     RECORD_FIELD(flags), RECORD_FIELD(current_file_type),
    RECORD_FIELD(current_file_attr), {0, 0},
};

void check_opened(const PYXO_CONTEXT &c)
{
    FUZZ_CHECK(fake_kernel::is_open(c.device_handle), "an open record holds a live handle");
    FUZZ_CHECK((c.flags & PYXO_FLAG_ATTACHED) != 0, "an open record is attached");
    FUZZ_CHECK(c.model >= 0x40 && c.model <= 0x5F, "an opened token's model");
    FUZZ_CHECK(c.id_size == (c.model < 0x50 ? 4u : 8u), "identifier width follows the model");
    FUZZ_CHECK(c.memory_size % 2 == 0 && c.memory_size <= 0x1FFFE, "memory size in words");
    FUZZ_CHECK(c.capabilities < (1u << 29), "capabilities have at most 29 bits");
    FUZZ_CHECK(c.capability_param % 8 == 0 && c.capability_param <= 0xFF * 8,
               "capability parameter is eight times a byte");
    FUZZ_CHECK(Mirror::of(c).no_file_selected(), "no file selected after an open");
}

// Every failed open leaves the record closed.
void check_closed_after_open(const Run &run, uint32_t mode)
{
    const PYXO_CONTEXT &c = *run.context;
    FUZZ_CHECK(c.device_handle == INVALID_HANDLE_VALUE, "failed open: no handle");
    FUZZ_CHECK(fake_kernel::open_handles() == 0, "failed open: driver handle closed");
    FUZZ_CHECK(Mirror::of(c).no_file_selected(), "failed open: no file selected");
    // Only a foreign record's own flag survives the mode check.
    if (run.pristine || (mode & kModeMask) <= PYXO_OPEN_SAME)
        FUZZ_CHECK((c.flags & PYXO_FLAG_ATTACHED) == 0, "failed open: not attached");
}

void open_device(Run &run)
{
    const uint32_t mode = run.in.flag() ? run.in.u32() : run.in.u8();
    const Before before(*run.context);
    const uint32_t status = Pyxo_OpenDevice(run.context, mode);
    check_status(status);
    const PYXO_CONTEXT &c = *run.context;
    FUZZ_CHECK(c.signature == kSignature, "an open leaves the signature");
    uint32_t old_signature;
    memcpy(&old_signature, before.image.bytes, sizeof old_signature);
    if (old_signature != kSignature)
        run.pristine = true; // initialised: every field is the library's now
    if ((mode & kModeMask) > PYXO_OPEN_SAME) {
        FUZZ_CHECK(status == PYXO_ERR_INVALID_PARAMETER, "unknown open mode");
        FUZZ_CHECK(fake_kernel::driver_opens() == before.driver_opens,
                   "unknown open mode: the driver is not opened");
    }
    if (status == PYXO_OK)
        check_opened(c);
    else
        check_closed_after_open(run, mode);
}

void close_device(Run &run)
{
    const Before before(*run.context);
    FUZZ_CHECK(Pyxo_CloseDevice(run.context) == PYXO_OK, "closing always succeeds");
    const PYXO_CONTEXT &c = *run.context;
    if (c.signature != kSignature) {
        FUZZ_CHECK(before.image.same(c), "a record without the signature is left alone");
        return;
    }
    FUZZ_CHECK(before.only_changed(c, kCloseFields), "closing changes only handle and flag");
    FUZZ_CHECK(c.device_handle == INVALID_HANDLE_VALUE, "closed: no handle");
    FUZZ_CHECK(fake_kernel::open_handles() == 0, "closed: driver handle closed");
    FUZZ_CHECK(Mirror::of(c).no_file_selected(), "closed: no file selected");
    if (before.usable)
        FUZZ_CHECK((c.flags & PYXO_FLAG_ATTACHED) == 0, "closed: not attached");
}

void diagnose(Run &run)
{
    ExactBuffer result(2 * sizeof(uint16_t));
    const ExactBuffer untouched = result.copy();
    const Before before(*run.context);
    const uint32_t status = Pyxo_Diagnose(run.context, (uint16_t *)result.data());
    check_status(status);
    FUZZ_CHECK(before.image.same(*run.context), "diagnose changes nothing in the record");
    FUZZ_CHECK(before.commands_since() <= 1, "diagnose: one command");
    if (status != PYXO_OK && status != PYXO_ERR_MEMORY && status != PYXO_ERR_SELFTEST)
        FUZZ_CHECK(result.same_as(untouched), "diagnose: result written only on success");
    if (status == PYXO_OK)
        FUZZ_CHECK(((uint16_t *)result.data())[1] == 0xFFFF, "diagnose: all passed");
}

void reset_device(Run &run)
{
    const Before before(*run.context);
    check_status(Pyxo_ResetDevice(run.context));
    FUZZ_CHECK(before.only_changed(*run.context, kMirrorFields), "reset changes the mirror only");
    FUZZ_CHECK(Mirror::of(*run.context) == before.mirror.deselected(),
               "reset: no file selected, whatever the record");
    FUZZ_CHECK(before.commands_since() <= 1, "reset: one command");
}

uint32_t expected_response_status(const uint8_t *buffer, uint32_t count)
{
    static const uint8_t kTokenStatus[32] = {0,  4,  5,  3,  9,  10, 11, 12, 14, 15, 16,
                                             17, 20, 255, 255, 255, 255, 255, 255, 255, 255,
                                             255, 255, 255, 255, 255, 255, 255, 255, 255, 255,
                                             255};
    if (count >= 2)
        return PYXO_OK;
    return count == 0 ? PYXO_ERR_IO : kTokenStatus[buffer[0] & 0x1F];
}

void get_response(Run &run)
{
    ExactBuffer buffer(kResponseCapacity);
    ExactBuffer length(sizeof(uint32_t));
    const Before before(*run.context);
    const uint32_t status = Pyxo_GetResponse(run.context, buffer.data(), (uint32_t *)length.data());
    check_status(status);
    const uint32_t count = *(const uint32_t *)length.data();
    FUZZ_CHECK(before.image.same(*run.context), "get response changes nothing in the record");
    FUZZ_CHECK(count <= kResponseCapacity, "get response: count within the buffer");
    FUZZ_CHECK(before.commands_since() <= 1, "get response: one command");
    if (!before.usable) {
        FUZZ_CHECK(status == PYXO_ERR_NO_DEVICE && count == 0 && before.commands_since() == 0,
                   "get response on a record that is not open");
        return;
    }
    if (before.commands_since() == 0 || !fake_kernel::last_control().succeeded)
        return;
    FUZZ_CHECK(status == expected_response_status(buffer.data(), count),
               "get response: status of the answer");
    for (uint32_t i = count; i < kResponseCapacity; ++i)
        FUZZ_CHECK(buffer.data()[i] == 0, "get response: zeros after the answer");
}

void get_serial_number(Run &run)
{
    ExactBuffer result(2 * sizeof(uint32_t));
    const ExactBuffer untouched = result.copy();
    const Before before(*run.context);
    const uint32_t status = Pyxo_GetSerialNumber(run.context, (uint32_t *)result.data());
    check_status(status);
    FUZZ_CHECK(before.image.same(*run.context), "serial number changes nothing in the record");
    FUZZ_CHECK(before.commands_since() <= 1, "serial number: one command");
    if (status != PYXO_OK)
        FUZZ_CHECK(result.same_as(untouched), "serial number: written only on success");
}

void led_control(Run &run)
{
    const uint32_t value = run.in.u32();
    const Before before(*run.context);
    check_status(Pyxo_LedControl(run.context, value));
    FUZZ_CHECK(before.image.same(*run.context), "LED changes nothing in the record");
    FUZZ_CHECK(before.commands_since() <= 1, "LED: one command");
}

} // namespace

const Operation kDeviceOperations[] = {
    open_device,       open_device, close_device, diagnose, reset_device, get_response,
    get_serial_number, led_control, nullptr,
};
