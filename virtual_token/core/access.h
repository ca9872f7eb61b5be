// Access conditions and the two credentials: what the session has proved,
// the retry counters, and the token-wide settings that name the conditions
// of the file-system and PIN commands.
#ifndef VTD_ACCESS_H
#define VTD_ACCESS_H

#include "token.h"

namespace vtd {

// The two settings bytes.  Byte 0: bits 2-0 the condition for creating and
// deleting directories and files, bits 5-3 the condition for changing the
// PIN.  Byte 1: bits 3-0 the PIN's try limit, bits 7-4 the master key's
// (0: no limit).
inline uint8_t fs_condition(const Token &token)
{
    return token.settings[0] & 7;
}
inline uint8_t pin_change_condition(const Token &token)
{
    return (token.settings[0] >> 3) & 7;
}
inline uint8_t pin_try_limit(const Token &token)
{
    return token.settings[1] & 0x0F;
}
inline uint8_t key_try_limit(const Token &token)
{
    return token.settings[1] >> 4;
}
constexpr uint8_t kSettingsByte0Unused = 0xC0;

// Whether the session meets a condition now.
bool condition_met(const Token &token, uint8_t condition);

// Status of a command under a condition: 0 when met, else kStatusDenied.
inline uint8_t check_condition(const Token &token, uint8_t condition)
{
    return condition_met(token, condition) ? kStatusOk : kStatusDenied;
}

// After a command that a condition allowed has succeeded: conditions 5 and
// 6 spend the verification they relied on.
void spend_condition(Token &token, uint8_t condition);

bool pin_locked(const Token &token);
bool key_locked(const Token &token);

} // namespace vtd

#endif
