// PIN, master key, challenge and access settings.
#include "exact_buffer.h"
#include "pending_exports.h"
#include "run.h"

namespace {

constexpr size_t kMasterKeySize = 8;
constexpr size_t kChallengeSize = 8;

// A call that is one command and leaves the record alone.
template <typename Call>
uint32_t one_command(Run &run, const char *what, Call call)
{
    const Before before(*run.context);
    const uint32_t status = call();
    check_status(status);
    FUZZ_CHECK(before.image.same(*run.context), what);
    FUZZ_CHECK(before.commands_since() <= 1, what);
    return status;
}

void verify_pin(Run &run)
{
    if (!Pyxo_VerifyPIN)
        return;
    const uint32_t pin = run.in.u32();
    one_command(run, "verify PIN", [&] { return Pyxo_VerifyPIN(run.context, pin); });
}

void modify_pin(Run &run)
{
    if (!Pyxo_ModifyPIN)
        return;
    const uint32_t pin = run.in.u32();
    one_command(run, "modify PIN", [&] { return Pyxo_ModifyPIN(run.context, pin); });
}

void verify_master_key(Run &run)
{
    if (!Pyxo_VerifyMasterKey)
        return;
    const ExactBuffer key(kMasterKeySize, run.in);
    const ExactBuffer original = key.copy();
    one_command(run, "verify master key",
                [&] { return Pyxo_VerifyMasterKey(run.context, key.data()); });
    FUZZ_CHECK(key.same_as(original), "verify master key: key read only");
}

void modify_master_key(Run &run)
{
    if (!Pyxo_ModifyMasterKey)
        return;
    const ExactBuffer key(kMasterKeySize, run.in);
    const ExactBuffer original = key.copy();
    one_command(run, "modify master key",
                [&] { return Pyxo_ModifyMasterKey(run.context, key.data()); });
    FUZZ_CHECK(key.same_as(original), "modify master key: key read only");
}

void get_challenge(Run &run)
{
    if (!Pyxo_GetChallenge)
        return;
    ExactBuffer challenge(kChallengeSize);
    one_command(run, "get challenge",
                [&] { return Pyxo_GetChallenge(run.context, challenge.data()); });
}

void get_access_settings(Run &run)
{
    if (!Pyxo_GetAccessSettings)
        return;
    ExactBuffer settings(sizeof(PYXO_ACCESS_SETTINGS));
    const ExactBuffer untouched = settings.copy();
    auto *s = (PYXO_ACCESS_SETTINGS *)settings.data();
    const uint32_t status = one_command(run, "get access settings",
                                        [&] { return Pyxo_GetAccessSettings(run.context, s); });
    if (status != PYXO_OK) {
        FUZZ_CHECK(settings.same_as(untouched), "get access settings: written only on success");
        return;
    }
    FUZZ_CHECK(s->nibble_high <= 15 && s->nibble_low <= 15 && s->octal_high <= 7 &&
                   s->octal_low <= 7,
               "get access settings: values in range");
}

uint8_t choose_setting(FuzzInput &in, uint8_t limit)
{
    return in.u8() % 8 == 0 ? in.u8() : uint8_t(in.u8() % (limit + 1));
}

void set_access_settings(Run &run)
{
    if (!Pyxo_SetAccessSettings)
        return;
    ExactBuffer settings(sizeof(PYXO_ACCESS_SETTINGS));
    auto *s = (PYXO_ACCESS_SETTINGS *)settings.data();
    s->nibble_high = choose_setting(run.in, 15);
    s->nibble_low = choose_setting(run.in, 15);
    s->octal_high = choose_setting(run.in, 7);
    s->octal_low = choose_setting(run.in, 7);
    const ExactBuffer original = settings.copy();
    const Before before(*run.context);
    const uint32_t status = one_command(run, "set access settings",
                                        [&] { return Pyxo_SetAccessSettings(run.context, s); });
    FUZZ_CHECK(settings.same_as(original), "set access settings: record read only");
    const bool in_range =
        s->nibble_high <= 15 && s->nibble_low <= 15 && s->octal_high <= 7 && s->octal_low <= 7;
    if (!in_range)
        FUZZ_CHECK(status == PYXO_ERR_INVALID_PARAMETER && before.commands_since() == 0,
                   "set access settings: out of range");
}

} // namespace

const Operation kAuthOperations[] = {
    verify_pin,          modify_pin,          verify_master_key, modify_master_key,
    get_challenge,       get_access_settings, set_access_settings, nullptr,
};
