// The token's access settings: four small values packed into two settings
// bytes.  Settings byte 0 holds octal_high in bits 5-3 and octal_low in bits
// 2-0 (bits 7-6 are sent as 0 and ignored when read); settings byte 1 holds
// nibble_high in bits 7-4 and nibble_low in bits 3-0.
#include "auth/settings_request.h"
#include "device/exchange.h"
#include "device/token_commands.h"

namespace {

constexpr uint32_t kSettingsSize = 2;
constexpr uint8_t kOctalMax = 7;
constexpr uint8_t kNibbleMax = 15;
constexpr unsigned kOctalHighShift = 3;
constexpr unsigned kNibbleHighShift = 4;

bool in_range(const PYXO_ACCESS_SETTINGS *settings)
{
    return settings->octal_low <= kOctalMax && settings->octal_high <= kOctalMax &&
           settings->nibble_low <= kNibbleMax && settings->nibble_high <= kNibbleMax;
}

void pack(const PYXO_ACCESS_SETTINGS *settings, uint8_t bytes[kSettingsSize])
{
    bytes[0] = (uint8_t)(settings->octal_low | settings->octal_high << kOctalHighShift);
    bytes[1] = (uint8_t)(settings->nibble_low | settings->nibble_high << kNibbleHighShift);
}

void unpack(const uint8_t bytes[kSettingsSize], PYXO_ACCESS_SETTINGS *settings)
{
    settings->nibble_high = (uint8_t)(bytes[1] >> kNibbleHighShift);
    settings->nibble_low = bytes[1] & kNibbleMax;
    settings->octal_high = (bytes[0] >> kOctalHighShift) & kOctalMax;
    settings->octal_low = bytes[0] & kOctalMax;
}

} // namespace

extern "C" PYXO_API uint32_t PYXO_CALL Pyxo_GetAccessSettings(PYXO_CONTEXT *context,
                                                              PYXO_ACCESS_SETTINGS *settings)
{
    uint8_t answer[kSettingsSize];
    const uint32_t status =
        pyxo_exchange(context, PYXO_CMD_GET_ACCESS_SETTINGS, 0, nullptr, sizeof answer, answer);
    if (status != PYXO_OK)
        return status;
    unpack(answer, settings);
    return PYXO_OK;
}

extern "C" PYXO_API uint32_t PYXO_CALL Pyxo_SetAccessSettings(PYXO_CONTEXT *context,
                                                              const PYXO_ACCESS_SETTINGS *settings)
{
    if (!in_range(settings))
        return PYXO_ERR_INVALID_PARAMETER;
    uint8_t request[PYXO_SETTINGS_HEADER_SIZE + kSettingsSize];
    pyxo_put_settings_header(request, PYXO_SETTINGS_SET_ACCESS);
    pack(settings, request + PYXO_SETTINGS_HEADER_SIZE);
    return pyxo_exchange_status(context, PYXO_CMD_SETTINGS, sizeof request, request);
}
