// PIN, master key, challenge and access settings.
#include <iomanip>
#include <ostream>

#include "args.h"
#include "cli.h"
#include "output.h"
#include "status.h"

namespace pyxo_cli {

namespace {

constexpr size_t kMasterKeySize = 8;

void verified(Invocation &inv, uint32_t status, const std::string &what)
{
    if (status != PYXO_OK)
        throw Failure(kExitCredentials, "the " + what + " was refused: " + status_text(status));
    inv.out << what << " accepted\n";
}

void verify_pin(Invocation &inv)
{
    const uint32_t pin = parse_number(inv.args[0], "PIN");
    verified(inv, Pyxo_VerifyPIN(&inv.token(), pin), "PIN");
}

void verify_key(Invocation &inv)
{
    const Bytes key = parse_hex_exact(inv.args[0], "KEY", kMasterKeySize);
    verified(inv, Pyxo_VerifyMasterKey(&inv.token(), key.data()), "master key");
}

void set_pin(Invocation &inv)
{
    const uint32_t pin = parse_number(inv.args[0], "NEW_PIN");
    check(Pyxo_ModifyPIN(&inv.token(), pin), "changing the PIN");
}

void set_key(Invocation &inv)
{
    const Bytes key = parse_hex_exact(inv.args[0], "NEW_KEY", kMasterKeySize);
    check(Pyxo_ModifyMasterKey(&inv.token(), key.data()), "changing the master key");
}

void challenge(Invocation &inv)
{
    uint8_t bytes[8];
    check(Pyxo_GetChallenge(&inv.token(), bytes), "fetching a challenge");
    inv.out << hex(bytes, sizeof bytes) << "\n";
}

// The four values, with what the token makes of them.
struct SettingRow {
    std::string_view name;
    uint8_t PYXO_ACCESS_SETTINGS::*field;
    uint32_t max;
    std::string_view meaning;
};

constexpr SettingRow kSettingRows[] = {
    {"nibble_high", &PYXO_ACCESS_SETTINGS::nibble_high, 15, "master key try limit (0: none)"},
    {"nibble_low", &PYXO_ACCESS_SETTINGS::nibble_low, 15, "PIN try limit (0: none)"},
    {"octal_high", &PYXO_ACCESS_SETTINGS::octal_high, 7, "condition for changing the PIN"},
    {"octal_low", &PYXO_ACCESS_SETTINGS::octal_low, 7,
     "condition for creating and deleting files and directories"},
};

void settings_get(Invocation &inv)
{
    PYXO_ACCESS_SETTINGS s{};
    check(Pyxo_GetAccessSettings(&inv.token(), &s), "reading the access settings");
    for (const SettingRow &row : kSettingRows)
        inv.out << std::left << std::setw(12) << row.name << std::setw(4) << unsigned(s.*row.field)
                << row.meaning << "\n";
}

void settings_set(Invocation &inv)
{
    if (inv.args.size() != 5)
        throw usage_error("settings set takes four values: NIBBLE_HIGH NIBBLE_LOW OCTAL_HIGH "
                          "OCTAL_LOW");
    PYXO_ACCESS_SETTINGS s{};
    for (size_t i = 0; i < std::size(kSettingRows); i++) {
        const SettingRow &row = kSettingRows[i];
        s.*row.field = uint8_t(parse_number(inv.args[i + 1], row.name, row.max));
    }
    check(Pyxo_SetAccessSettings(&inv.token(), &s), "writing the access settings");
}

void settings(Invocation &inv)
{
    const std::string verb = inv.args.empty() ? "get" : inv.args[0];
    if (verb == "get" && inv.args.size() <= 1)
        settings_get(inv);
    else if (verb == "set")
        settings_set(inv);
    else
        throw usage_error("usage: pyxo settings [get | set NIBBLE_HIGH NIBBLE_LOW OCTAL_HIGH "
                          "OCTAL_LOW]");
}

const Command kCommands[] = {
    {"verify-pin", "PIN", "check a PIN (a wrong one counts against the try limit)",
     "Exits with 4 when the token refuses it.  The token forgets verifications when the\n"
     "command ends; use --pin to verify before another command.",
     Reach::Token, 1, 1, verify_pin},
    {"verify-key", "HEX", "check the master key (8 bytes in hex)",
     "Exits with 4 when the token refuses it.  A wrong key counts against the try limit.",
     Reach::Token, 1, 1, verify_key},
    {"set-pin", "NEW_PIN", "change the PIN (the settings say which credential this needs)", "",
     Reach::Token, 1, 1, set_pin},
    {"set-key", "NEW_KEY", "change the master key (needs --master-key with the current one)", "",
     Reach::Token, 1, 1, set_key},
    {"challenge", "", "8 fresh random bytes from the token", "", Reach::Token, 0, 0, challenge},
    {"settings", "[get | set NIBBLE_HIGH NIBBLE_LOW OCTAL_HIGH OCTAL_LOW]",
     "read or write the token's access settings",
     "The values: nibble_high and nibble_low 0 to 15, octal_high and octal_low 0 to 7.\n"
     "Writing them needs the master key.  Conditions: 0 always, 1 PIN, 2 master key, 3 PIN\n"
     "or master key, 4 both, 5 PIN once, 6 master key once, 7 never.",
     Reach::Token, 0, 5, settings},
};

} // namespace

std::span<const Command> auth_commands()
{
    return kCommands;
}

} // namespace pyxo_cli
