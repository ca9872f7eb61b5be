// Pyxo_OpenDevice: initialise the record if needed, close what it held,
// open the driver, check its version, find and attach a token, describe it
// and read its serial number.
#include <string.h>

#include "device/context.h"
#include "device/descriptor.h"
#include "device/driver_interface.h"
#include "device/exchange.h"
#include "device/release.h"
#include "device/search.h"
#include "device/token_commands.h"
#include "platform/platform.h"
#include "util/bytes.h"

namespace {

constexpr uint32_t kModeMask = 0x0F; // higher bits of the mode are ignored
constexpr uint32_t kVersionSize = 4;
constexpr uint32_t kSerialSize = 8;

void initialise(PYXO_CONTEXT *context)
{
    memset(context, 0, sizeof *context);
    context->signature = PYXO_CONTEXT_SIGNATURE;
    context->context_version = PYXO_CONTEXT_VERSION;
    context->device_handle = INVALID_HANDLE_VALUE;
}

// Sets where the search starts; false for an unknown mode.
bool choose_start(PYXO_CONTEXT *context, uint32_t mode)
{
    switch (mode) {
    case PYXO_OPEN_NEXT:
        return true;
    case PYXO_OPEN_FIRST:
        context->device_index = 0;
        return true;
    case PYXO_OPEN_SAME:
        context->device_index -= 1; // the opened token's own position
        return true;
    default:
        return false;
    }
}

uint32_t open_driver(PYXO_CONTEXT *context)
{
    context->device_handle =
        CreateFileA(PYXO_DRIVER_PATH, GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (context->device_handle != INVALID_HANDLE_VALUE)
        return PYXO_OK;
    context->flags = 0;
    return PYXO_ERR_NO_DEVICE;
}

// The driver writes its version straight into the record.
uint32_t check_driver_version(PYXO_CONTEXT *context)
{
    uint32_t count = 0;
    const uint32_t result = pyxo_control(context, PYXO_IOCTL_GET_VERSION, nullptr, 0,
                                         &context->driver_version, kVersionSize, &count);
    if (result != PYXO_OK || count != kVersionSize)
        return PYXO_ERR_DRIVER_COMM;
    if (context->driver_version < PYXO_MIN_DRIVER_VERSION)
        return PYXO_ERR_DRIVER_VERSION;
    return PYXO_OK;
}

// Reads the attached token's serial number as two words.
uint32_t read_serial(PYXO_CONTEXT *context, uint32_t words[2])
{
    uint8_t serial[kSerialSize];
    const uint32_t result =
        pyxo_exchange(context, PYXO_CMD_SERIAL_NUMBER, 0, nullptr, kSerialSize, serial);
    if (result != PYXO_OK)
        return result;
    words[0] = get_le32(serial);
    words[1] = get_le32(serial + 4);
    return PYXO_OK;
}

// Attaches tokens until one is accepted: any token in modes 0 and 1, the
// one with the stored serial number in mode 2.
uint32_t find_token(PYXO_CONTEXT *context, uint32_t mode)
{
    for (;;) {
        uint8_t descriptor[PYXO_DESCRIPTOR_SIZE];
        const uint32_t found = pyxo_attach_next_token(context, descriptor);
        if (found != PYXO_OK)
            return found;
        pyxo_decode_descriptor(context, descriptor);
        uint32_t serial[2];
        const uint32_t read = read_serial(context, serial);
        if (read != PYXO_OK) {
            pyxo_release(context, true);
            return read;
        }
        if (mode != PYXO_OPEN_SAME) {
            context->serial_number[0] = serial[0];
            context->serial_number[1] = serial[1];
            return PYXO_OK;
        }
        if (serial[0] == context->serial_number[0] && serial[1] == context->serial_number[1])
            return PYXO_OK;
        pyxo_release(context, false); // another token at that place: search on
    }
}

} // namespace

uint32_t PYXO_CALL Pyxo_OpenDevice(PYXO_CONTEXT *context, uint32_t mode)
{
    if (context->signature != PYXO_CONTEXT_SIGNATURE)
        initialise(context);
    pyxo_release(context, true);
    mode &= kModeMask;
    if (!choose_start(context, mode))
        return PYXO_ERR_INVALID_PARAMETER;
    uint32_t result = open_driver(context);
    if (result != PYXO_OK)
        return result;
    result = check_driver_version(context);
    if (result != PYXO_OK) {
        pyxo_release(context, true);
        return result;
    }
    return find_token(context, mode);
}
