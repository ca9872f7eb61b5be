// Pyxo_GetSerialNumber: command 0x102, eight bytes read as two words.
#include "device/exchange.h"
#include "device/token_commands.h"
#include "util/bytes.h"

namespace {
constexpr uint32_t kSerialSize = 8;
}

uint32_t PYXO_CALL Pyxo_GetSerialNumber(PYXO_CONTEXT *context, uint32_t result[2])
{
    uint8_t answer[kSerialSize];
    const uint32_t status =
        pyxo_exchange(context, PYXO_CMD_SERIAL_NUMBER, 0, nullptr, kSerialSize, answer);
    if (status != PYXO_OK)
        return status;
    result[0] = get_le32(answer);
    result[1] = get_le32(answer + 4);
    return PYXO_OK;
}
