// Pyxo_ResetDevice: a reset drops the token's selection, so the mirror says
// so first, whatever happens next.  No answer is awaited.
#include "device/context.h"
#include "device/exchange.h"
#include "device/token_commands.h"

uint32_t PYXO_CALL Pyxo_ResetDevice(PYXO_CONTEXT *context)
{
    pyxo_mark_no_file_selected(context);
    return pyxo_exchange(context, PYXO_CMD_RESET, 0, nullptr, 0, nullptr);
}
