// Presenting and changing the 8-byte master key, sent in the caller's byte
// order.
#include "auth/master_key.h"

#include <string.h>

#include "auth/settings_request.h"
#include "device/exchange.h"
#include "device/token_commands.h"
#include "util/wipe.h"

// The key goes out straight from the caller's buffer: the library keeps no
// copy of its own, and the exchange wipes its command block.
extern "C" PYXO_API uint32_t PYXO_CALL Pyxo_VerifyMasterKey(PYXO_CONTEXT *context,
                                                            const uint8_t master_key[8])
{
    return pyxo_exchange_status(context, PYXO_CMD_VERIFY_MASTER_KEY, PYXO_MASTER_KEY_SIZE,
                                master_key);
}

uint32_t pyxo_modify_master_key(PYXO_CONTEXT *context, const uint8_t master_key[8],
                                uint8_t request[PYXO_MODIFY_MASTER_KEY_REQUEST_SIZE])
{
    pyxo_put_settings_header(request, PYXO_SETTINGS_MODIFY_MASTER_KEY);
    memcpy(request + PYXO_SETTINGS_HEADER_SIZE, master_key, PYXO_MASTER_KEY_SIZE);
    const uint32_t status = pyxo_exchange_status(context, PYXO_CMD_SETTINGS,
                                                 PYXO_MODIFY_MASTER_KEY_REQUEST_SIZE, request);
    pyxo_wipe(request, PYXO_MODIFY_MASTER_KEY_REQUEST_SIZE);
    return status;
}

extern "C" PYXO_API uint32_t PYXO_CALL Pyxo_ModifyMasterKey(PYXO_CONTEXT *context,
                                                            const uint8_t master_key[8])
{
    uint8_t request[PYXO_MODIFY_MASTER_KEY_REQUEST_SIZE];
    return pyxo_modify_master_key(context, master_key, request);
}
