// The driver: its handles and the library's four I/O controls (version,
// attach, release, command).
#include <string.h>

#include "device/driver_interface.h"
#include "driver.h"
#include "util/wipe.h"

using namespace vtd;

namespace {

constexpr uint32_t kSlotBits = 8; // handle = generation << 8 | slot + 1
constexpr uint32_t kGenerationMask = 0xFFFFFF;
constexpr uint32_t kAttachedElsewhere = 1;

int slot_of(const vtd_driver *driver, uint32_t handle)
{
    const uint32_t slot = (handle & ((1u << kSlotBits) - 1)) - 1;
    if (slot >= kMaxHandles || !driver->handles[slot].open)
        return -1;
    return driver->handles[slot].generation == handle >> kSlotBits ? (int)slot : -1;
}

// The device an attach examines: the first at or after index.
int first_device_from(const vtd_driver *driver, uint32_t index)
{
    for (uint32_t p = index; p < kPositions; p++) {
        if (driver->positions[p].kind != VTD_KIND_EMPTY)
            return (int)p;
    }
    return -1;
}

uint32_t get_version(uint8_t *out, uint32_t out_size, uint32_t *returned)
{
    if (out_size < 4)
        return VTD_ERROR_INSUFFICIENT_BUFFER;
    put_le32(out, VTD_DRIVER_VERSION);
    *returned = 4;
    return 0;
}

uint32_t attach(vtd_driver *driver, uint32_t handle, const uint8_t *in, uint32_t in_size,
                uint8_t *out, uint32_t out_size, uint32_t *returned)
{
    if (in_size < PYXO_ATTACH_BLOCK_SIZE || out_size < PYXO_ATTACH_BLOCK_SIZE)
        return VTD_ERROR_INVALID_PARAMETER;
    uint8_t block[PYXO_ATTACH_BLOCK_SIZE];
    memcpy(block, in, sizeof block);
    const int found = first_device_from(driver, get_le32(block + PYXO_ATTACH_DEVICE_INDEX));
    if (found < 0)
        return VTD_ERROR_NO_MORE_ITEMS;
    Position &p = driver->positions[found];
    if (p.handle == kNoHandle)
        p.handle = handle;
    put_le32(block + PYXO_ATTACH_DEVICE_INDEX, (uint32_t)found + 1);
    put_le32(block + PYXO_ATTACH_STATUS, p.handle == handle ? 0 : kAttachedElsewhere);
    memcpy(block + PYXO_ATTACH_DESCRIPTOR, descriptor_of(p), PYXO_DESCRIPTOR_SIZE);
    memcpy(out, block, sizeof block);
    *returned = sizeof block;
    return 0;
}

// The position a block's device_index names (one past it), when this
// handle holds the device attached there.
uint32_t attached_position(vtd_driver *driver, uint32_t handle, uint32_t device_index,
                           Position **position)
{
    const uint32_t index = device_index - 1;
    if (index >= kPositions || driver->positions[index].kind == VTD_KIND_EMPTY)
        return VTD_ERROR_DEVICE_NOT_CONNECTED;
    if (driver->positions[index].handle != handle)
        return VTD_ERROR_ACCESS_DENIED;
    *position = &driver->positions[index];
    return 0;
}

uint32_t release(vtd_driver *driver, uint32_t handle, const uint8_t *in, uint32_t in_size)
{
    if (in_size < PYXO_ATTACH_BLOCK_SIZE)
        return VTD_ERROR_INVALID_PARAMETER;
    Position *p = nullptr;
    const uint32_t error =
        attached_position(driver, handle, get_le32(in + PYXO_ATTACH_DEVICE_INDEX), &p);
    if (error == 0)
        detach(*p);
    return error;
}

// Runs the command of a block on the token and sends back its answer.
uint32_t exchange(vtd_driver *driver, Position &p, const uint8_t *block, uint8_t *out,
                  uint32_t out_size, uint32_t *returned)
{
    uint8_t request[kMaxRequest];
    Exchange ex = {};
    ex.payload_length = get_le16(block + PYXO_COMMAND_PAYLOAD_LENGTH);
    const uint32_t carried =
        ex.payload_length < kMaxRequest - kParamSize ? ex.payload_length : kMaxRequest - kParamSize;
    memcpy(request, block + PYXO_COMMAND_PARAM1, kParamSize);
    memcpy(request + kParamSize, block + PYXO_COMMAND_PAYLOAD, carried);
    ex.request = request;
    ex.random = driver->random;
    ex.random_context = driver->random_context;
    run_command(p.token, get_le16(block + PYXO_COMMAND_CODE), ex);
    pyxo_wipe(request, sizeof request);
    uint32_t error = VTD_ERROR_INSUFFICIENT_BUFFER;
    if (ex.answer_length <= out_size) {
        if (ex.answer_length != 0)
            memcpy(out, ex.answer, ex.answer_length);
        *returned = ex.answer_length;
        error = 0;
    }
    pyxo_wipe(ex.answer, sizeof ex.answer);
    return error;
}

uint32_t command(vtd_driver *driver, uint32_t handle, const uint8_t *in, uint32_t in_size,
                 uint8_t *out, uint32_t out_size, uint32_t *returned)
{
    if (in_size < PYXO_COMMAND_PAYLOAD)
        return VTD_ERROR_INVALID_PARAMETER;
    const uint32_t payload = get_le16(in + PYXO_COMMAND_PAYLOAD_LENGTH);
    if (payload > PYXO_PAYLOAD_CAPACITY || PYXO_COMMAND_PAYLOAD + payload > in_size)
        return VTD_ERROR_INVALID_PARAMETER;
    Position *p = nullptr;
    const uint32_t position = get_le32(in + PYXO_COMMAND_DEVICE_INDEX) - 1;
    uint32_t error = attached_position(driver, handle, position + 1, &p);
    if (error != 0)
        return error;
    if (p->kind != VTD_KIND_TOKEN)
        return VTD_ERROR_NOT_SUPPORTED;
    error = exchange(driver, *p, in, out, out_size, returned);
    if (p->token.changed) {
        p->token.changed = false;
        driver->changed |= 1u << position;
    }
    return error;
}

} // namespace

extern "C" {

size_t vtd_driver_size(void)
{
    return sizeof(vtd_driver);
}

void vtd_driver_init(vtd_driver *driver, vtd_random_fn random, void *random_context)
{
    memset(driver, 0, sizeof *driver);
    driver->random = random;
    driver->random_context = random_context;
}

uint32_t vtd_open_handle(vtd_driver *driver, uint32_t *handle)
{
    for (uint32_t slot = 0; slot < kMaxHandles; slot++) {
        HandleSlot &h = driver->handles[slot];
        if (h.open)
            continue;
        h.open = true;
        h.generation = (h.generation + 1) & kGenerationMask;
        if (h.generation == 0)
            h.generation = 1;
        *handle = h.generation << kSlotBits | (slot + 1);
        return 0;
    }
    return VTD_ERROR_TOO_MANY_OPEN_FILES;
}

void vtd_close_handle(vtd_driver *driver, uint32_t handle)
{
    const int slot = slot_of(driver, handle);
    if (slot < 0)
        return;
    for (Position &p : driver->positions) {
        if (p.handle == handle)
            detach(p);
    }
    driver->handles[slot].open = false;
}

uint32_t vtd_control(vtd_driver *driver, uint32_t handle, uint32_t code, const uint8_t *in,
                     uint32_t in_size, uint8_t *out, uint32_t out_size, uint32_t *returned)
{
    if (returned == nullptr)
        return VTD_ERROR_INVALID_PARAMETER;
    *returned = 0;
    if (slot_of(driver, handle) < 0)
        return VTD_ERROR_INVALID_HANDLE;
    if ((in == nullptr && in_size != 0) || (out == nullptr && out_size != 0))
        return VTD_ERROR_INVALID_PARAMETER;
    switch (code) {
    case PYXO_IOCTL_GET_VERSION:
        return get_version(out, out_size, returned);
    case PYXO_IOCTL_ATTACH:
        return attach(driver, handle, in, in_size, out, out_size, returned);
    case PYXO_IOCTL_RELEASE:
        return release(driver, handle, in, in_size);
    case PYXO_IOCTL_COMMAND:
        return command(driver, handle, in, in_size, out, out_size, returned);
    default:
        return manage_control(driver, code, in, in_size, out, out_size, returned);
    }
}

uint32_t vtd_take_changed(vtd_driver *driver)
{
    const uint32_t changed = driver->changed;
    driver->changed = 0;
    return changed;
}

} // extern "C"
