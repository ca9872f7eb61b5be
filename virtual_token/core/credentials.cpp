// PIN and master key: verifying them against their retry counters (0x10E,
// 0x10F), changing them and the access settings (0x101), reading the
// settings (0x103), and the challenge (0x112).
#include <string.h>

#include "access.h"
#include "commands.h"
#include "device/token_commands.h"
#include "request.h"

namespace vtd {

namespace {

constexpr uint32_t kChallengeSize = 8;
constexpr uint8_t kMaxFailures = 0xFF;

// Compares without an early exit, so timing tells nothing of the secret.
bool same_secret(const uint8_t *a, const uint8_t *b, uint32_t n)
{
    uint8_t diff = 0;
    for (uint32_t i = 0; i < n; i++)
        diff |= (uint8_t)(a[i] ^ b[i]);
    return diff == 0;
}

// One verification against a retry counter.  Every failure is counted and
// persisted before the answer leaves; a success clears the counter.
uint8_t verify(Token &token, bool matches, bool &verified, uint8_t &failures)
{
    verified = matches;
    if (!matches) {
        if (failures < kMaxFailures)
            failures++;
        token.changed = true;
        return kStatusDenied;
    }
    if (failures != 0) {
        failures = 0;
        token.changed = true;
    }
    return kStatusOk;
}

uint8_t modify_pin(Token &token, Exchange &ex)
{
    if (!request_is(ex, 8))
        return kStatusBadParameter;
    const uint8_t condition = pin_change_condition(token);
    if (!condition_met(token, condition))
        return kStatusDenied;
    token.pin = get_le32(ex.request + kParamSize);
    token.pin_failures = 0; // a new PIN starts with all its tries
    token.changed = true;
    spend_condition(token, condition);
    return kStatusOk;
}

uint8_t set_access(Token &token, Exchange &ex)
{
    if (!request_is(ex, 6))
        return kStatusBadParameter;
    if (!token.key_verified)
        return kStatusDenied;
    const uint8_t *settings = ex.request + kParamSize;
    if ((settings[0] & kSettingsByte0Unused) != 0)
        return kStatusBadParameter;
    memcpy(token.settings, settings, kSettingsSize);
    token.changed = true;
    return kStatusOk;
}

uint8_t modify_master_key(Token &token, Exchange &ex)
{
    if (!request_is(ex, 12))
        return kStatusBadParameter;
    if (!token.key_verified)
        return kStatusDenied;
    memcpy(token.master_key, ex.request + kParamSize, kMasterKeySize);
    token.key_failures = 0;
    token.changed = true;
    return kStatusOk;
}

} // namespace

uint8_t cmd_verify_pin(Token &token, Exchange &ex)
{
    if (!request_is(ex, 4))
        return kStatusBadParameter;
    if (pin_locked(token))
        return kStatusLocked;
    uint8_t presented[4], held[4];
    memcpy(presented, ex.request, 4);
    put_le32(held, token.pin);
    return verify(token, same_secret(presented, held, 4), token.pin_verified, token.pin_failures);
}

uint8_t cmd_verify_key(Token &token, Exchange &ex)
{
    if (!request_is(ex, kMasterKeySize))
        return kStatusBadParameter;
    if (key_locked(token))
        return kStatusLocked;
    const bool matches = same_secret(ex.request, token.master_key, kMasterKeySize);
    return verify(token, matches, token.key_verified, token.key_failures);
}

// Sub-operation in request byte 0; bytes 1-3 are zero.
uint8_t cmd_settings(Token &token, Exchange &ex)
{
    if (ex.request[1] != 0 || get_le16(ex.request + 2) != 0)
        return kStatusBadParameter;
    switch (ex.request[0]) {
    case PYXO_SETTINGS_MODIFY_PIN:
        return modify_pin(token, ex);
    case PYXO_SETTINGS_SET_ACCESS:
        return set_access(token, ex);
    case PYXO_SETTINGS_MODIFY_MASTER_KEY:
        return modify_master_key(token, ex);
    case PYXO_SETTINGS_DELETE_ALL_FILES:
        return cmd_delete_all(token, ex);
    default:
        return kStatusBadParameter;
    }
}

uint8_t cmd_get_access(Token &token, Exchange &ex)
{
    if (!request_is(ex, 0))
        return kStatusBadParameter;
    memcpy(answer_data(ex, kSettingsSize), token.settings, kSettingsSize);
    return kStatusOk;
}

uint8_t cmd_challenge(Token &, Exchange &ex)
{
    if (!request_is(ex, 0))
        return kStatusBadParameter;
    if (ex.random == nullptr)
        return kStatusSelfTestFault;
    ex.random(ex.random_context, answer_data(ex, kChallengeSize), kChallengeSize);
    return kStatusOk;
}

} // namespace vtd
