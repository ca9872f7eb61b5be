// The token as a device: list, info, led, reset.
#include <iomanip>
#include <ostream>

#include "args.h"
#include "cli.h"
#include "output.h"
#include "status.h"
#include "token.h"

namespace pyxo_cli {

namespace {

// Positions examined beyond this many mean a driver that never ends its list.
constexpr uint32_t kMaxListed = 1024;

constexpr uint16_t kSelfTestPassed = 0xFFFF;

std::string id_width(const PYXO_CONTEXT &c)
{
    return c.id_size == 8 ? "32-bit" : "16-bit";
}

void list_row(std::ostream &out, const PYXO_CONTEXT &c, uint32_t status)
{
    out << std::left << std::setw(10) << token_position(c);
    if (status == PYXO_ERR_DEVICE_21) {
        out << "busy: attached to another program\n";
        return;
    }
    if (status != PYXO_OK) {
        out << "not opened: " << status_text(status) << "\n";
        return;
    }
    out << std::setw(7) << hex_number(c.model) << std::setw(8) << c.memory_size
        << std::setw(8) << id_width(c) << serial_text(c.serial_number) << "\n";
}

// OPEN_FIRST, then OPEN_NEXT from one past each position examined, until
// no token is left.
void list(Invocation &inv)
{
    PYXO_CONTEXT context{};
    uint32_t status = Pyxo_OpenDevice(&context, PYXO_OPEN_FIRST);
    if (status == PYXO_ERR_NO_DEVICE && !driver_reached(context))
        throw open_failure(context, status, std::nullopt);
    uint32_t rows = 0;
    for (; status != PYXO_ERR_NO_DEVICE && rows < kMaxListed; rows++) {
        if (status == PYXO_ERR_DRIVER_COMM || status == PYXO_ERR_DRIVER_VERSION)
            throw open_failure(context, status, std::nullopt);
        if (rows == 0)
            inv.out << "POSITION  MODEL  MEMORY  IDS     SERIAL\n";
        list_row(inv.out, context, status);
        const uint32_t examined = context.device_index;
        status = Pyxo_OpenDevice(&context, PYXO_OPEN_NEXT);
        if (status != PYXO_ERR_NO_DEVICE && context.device_index <= examined)
            break; // the driver went back: stop rather than list forever
    }
    Pyxo_CloseDevice(&context);
    if (rows == 0)
        inv.out << "no token\n";
}

void field(std::ostream &out, std::string_view name, const std::string &value)
{
    out << std::left << std::setw(18) << name << value << "\n";
}

std::string identification(PYXO_CONTEXT &c)
{
    uint8_t buffer[64];
    uint32_t length = 0;
    const uint32_t status = Pyxo_GetResponse(&c, buffer, &length);
    if (status != PYXO_OK)
        return "not available: " + status_text(status);
    std::string text(reinterpret_cast<const char *>(buffer), length);
    for (char ch : text)
        if (ch < 0x20 || ch > 0x7E)
            return hex(buffer, length);
    return text;
}

std::string settings_text(PYXO_CONTEXT &c)
{
    PYXO_ACCESS_SETTINGS s{};
    const uint32_t status = Pyxo_GetAccessSettings(&c, &s);
    if (status != PYXO_OK)
        return "not available: " + status_text(status);
    return "nibble_high " + std::to_string(s.nibble_high) + ", nibble_low " +
           std::to_string(s.nibble_low) + ", octal_high " + std::to_string(s.octal_high) +
           ", octal_low " + std::to_string(s.octal_low);
}

// Prints the self-test's outcome; a failed test is the command's failure.
void self_test(Invocation &inv, PYXO_CONTEXT &c)
{
    uint16_t result[2] = {0, 0};
    const uint32_t status = Pyxo_Diagnose(&c, result);
    const std::string report = " (" + hex_number(result[0]) + ", " + hex_number(result[1]) + ")";
    if (status == PYXO_OK && result[1] == kSelfTestPassed) {
        field(inv.out, "self-test", "passed" + report);
        return;
    }
    if (status == PYXO_ERR_SELFTEST || status == PYXO_ERR_MEMORY) {
        field(inv.out, "self-test", "FAILED" + report);
        check(status, "self-test");
    }
    field(inv.out, "self-test", "not run: " + status_text(status));
    check(status, "self-test");
}

void info(Invocation &inv)
{
    PYXO_CONTEXT &c = inv.token();
    field(inv.out, "position", std::to_string(token_position(c)));
    field(inv.out, "model", hex_number(c.model) + " (" + id_width(c) + " identifiers)");
    field(inv.out, "memory", std::to_string(c.memory_size) + " bytes");
    field(inv.out, "serial number", serial_text(c.serial_number));
    field(inv.out, "descriptor", "byte 2 " + hex_number(c.descriptor_byte2) + ", byte 3 " +
                                     hex_number(c.descriptor_byte3));
    field(inv.out, "capabilities",
          hex_number(c.capabilities) + ", parameter " + std::to_string(c.capability_param));
    field(inv.out, "driver version", hex_number(c.driver_version));
    field(inv.out, "identification", identification(c));
    field(inv.out, "access settings", settings_text(c));
    self_test(inv, c);
}

void led(Invocation &inv)
{
    const uint32_t value = parse_number(inv.args[0], "VALUE", 0xFFFF);
    check(Pyxo_LedControl(&inv.token(), value), "setting the LED");
}

void reset(Invocation &inv)
{
    check(Pyxo_ResetDevice(&inv.token()), "resetting the token");
}

const Command kCommands[] = {
    {"list", "", "the tokens the driver offers, in driver order",
     "Opens each token in turn and shows its driver position (what --token takes), model,\n"
     "memory in bytes, identifier width and serial number.  A token that another program\n"
     "holds shows as busy.",
     Reach::AllTokens, 0, 0, list},
    {"info", "", "what the token says about itself, and its self-test",
     "Shows the descriptor fields, the serial number, the answer to command 1, the access\n"
     "settings and the self-test result.  Exits with 1 when the self-test fails.",
     Reach::Token, 0, 0, info},
    {"led", "VALUE", "set the token's LED (0 to 0xFFFF; the values mean what the token says)", "",
     Reach::Token, 1, 1, led},
    {"reset", "", "reset the token (its verified credentials and selected file are dropped)", "",
     Reach::Token, 0, 0, reset},
};

} // namespace

std::span<const Command> device_commands()
{
    return kCommands;
}

} // namespace pyxo_cli
