// Presenting and changing the PIN, a 32-bit value that travels least
// significant byte first.
#include "auth/settings_request.h"
#include "device/exchange.h"
#include "device/token_commands.h"
#include "util/bytes.h"
#include "util/wipe.h"

namespace {

constexpr uint32_t kPinSize = 4;

} // namespace

extern "C" PYXO_API uint32_t PYXO_CALL Pyxo_VerifyPIN(PYXO_CONTEXT *context, uint32_t pin)
{
    uint8_t request[kPinSize];
    put_le32(request, pin);
    const uint32_t status =
        pyxo_exchange_status(context, PYXO_CMD_VERIFY_PIN, sizeof request, request);
    pyxo_wipe(request, sizeof request);
    return status;
}

// The old PIN is not part of the request: the token accepts the change
// only in a state that its own checks allow.
extern "C" PYXO_API uint32_t PYXO_CALL Pyxo_ModifyPIN(PYXO_CONTEXT *context, uint32_t pin)
{
    uint8_t request[PYXO_SETTINGS_HEADER_SIZE + kPinSize];
    pyxo_put_settings_header(request, PYXO_SETTINGS_MODIFY_PIN);
    put_le32(request + PYXO_SETTINGS_HEADER_SIZE, pin);
    const uint32_t status =
        pyxo_exchange_status(context, PYXO_CMD_SETTINGS, sizeof request, request);
    pyxo_wipe(request, sizeof request);
    return status;
}
