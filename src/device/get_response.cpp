// Pyxo_GetResponse: the raw answer to command 1, up to 64 bytes.  The one
// command that does not go through the exchange: any answer length is
// acceptable, and the buffer is padded with zeros past the answer.
#include <string.h>

#include "device/context.h"
#include "device/driver_interface.h"
#include "device/exchange.h"
#include "device/token_commands.h"
#include "util/bytes.h"

namespace {
constexpr uint32_t kResponseCapacity = 64;
}

uint32_t PYXO_CALL Pyxo_GetResponse(PYXO_CONTEXT *context, uint8_t *buffer, uint32_t *length)
{
    *length = 0;
    if (!pyxo_is_usable(context))
        return PYXO_ERR_NO_DEVICE;
    // Parameters and payload length stay 0; the block carries no request.
    uint8_t block[PYXO_COMMAND_BLOCK_SIZE] = {};
    put_le32(block + PYXO_COMMAND_DEVICE_INDEX, context->device_index);
    put_le16(block + PYXO_COMMAND_CODE, PYXO_CMD_GET_RESPONSE);
    const uint32_t result = pyxo_control(context, PYXO_IOCTL_COMMAND, block, sizeof block, buffer,
                                         kResponseCapacity, length);
    if (result != PYXO_OK)
        return result;
    const uint32_t status = pyxo_map_status(buffer, *length);
    if (*length < kResponseCapacity)
        memset(buffer + *length, 0, kResponseCapacity - *length);
    return status;
}
