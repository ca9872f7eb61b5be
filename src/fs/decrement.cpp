// Pyxo_Decrement: the token decrements its selected file; the command
// names no file and the mirror stays as it is.
#include "device/exchange.h"
#include "device/token_commands.h"

extern "C" PYXO_API uint32_t PYXO_CALL Pyxo_Decrement(PYXO_CONTEXT *context)
{
    return pyxo_exchange_status(context, PYXO_CMD_DECREMENT, 0, nullptr);
}
