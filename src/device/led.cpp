// Pyxo_LedControl: the low 16 bits of the value, in the first parameter
// word.  What the values mean is the token's business.
#include "device/exchange.h"
#include "device/token_commands.h"
#include "util/bytes.h"

uint32_t PYXO_CALL Pyxo_LedControl(PYXO_CONTEXT *context, uint32_t value)
{
    uint8_t request[2];
    put_le16(request, value & 0xFFFF);
    return pyxo_exchange_status(context, PYXO_CMD_LED, sizeof request, request);
}
