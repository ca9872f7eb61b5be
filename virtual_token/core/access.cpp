// Access conditions, judged against what the session has verified.
#include "access.h"

namespace vtd {

bool condition_met(const Token &token, uint8_t condition)
{
    switch (condition) {
    case kAlways:
        return true;
    case kAfterPin:
    case kPinEachTime:
        return token.pin_verified;
    case kAfterMasterKey:
    case kKeyEachTime:
        return token.key_verified;
    case kAfterPinOrKey:
        return token.pin_verified || token.key_verified;
    case kAfterPinAndKey:
        return token.pin_verified && token.key_verified;
    default:
        return false;
    }
}

void spend_condition(Token &token, uint8_t condition)
{
    if (condition == kPinEachTime)
        token.pin_verified = false;
    if (condition == kKeyEachTime)
        token.key_verified = false;
}

static bool locked(uint8_t failures, uint8_t limit)
{
    return limit != 0 && failures >= limit;
}

bool pin_locked(const Token &token)
{
    return locked(token.pin_failures, pin_try_limit(token));
}

bool key_locked(const Token &token)
{
    return locked(token.key_failures, key_try_limit(token));
}

} // namespace vtd
