// Fetching the token's 8-byte challenge.
#include "device/exchange.h"
#include "device/token_commands.h"

namespace {

constexpr uint32_t kChallengeSize = 8;

} // namespace

// The answer lands straight in the caller's buffer; after a failure it holds
// whatever the driver delivered (a status byte, for instance).
extern "C" PYXO_API uint32_t PYXO_CALL Pyxo_GetChallenge(PYXO_CONTEXT *context,
                                                         uint8_t challenge[8])
{
    return pyxo_exchange(context, PYXO_CMD_GET_CHALLENGE, 0, nullptr, kChallengeSize, challenge);
}
