// Virtual tokens: the virtual token driver's management controls, through
// its client library (virtual_token/client), and fresh token images.
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <ostream>
#include <random>

#include "args.h"
#include "cli.h"
#include "output.h"
#include "status.h"
#include "vtd_client.h"

namespace pyxo_cli {

namespace {

constexpr uint32_t kMinMemory = 128;    // bytes: 64 words
constexpr uint32_t kMaxMemory = 131070; // bytes: 0xFFFF words
constexpr uint8_t kMinModel = 0x40;
constexpr uint8_t kMaxModel = 0x5F;
constexpr uint8_t kSettingsByte0Unused = 0xC0; // bits 7-6 of settings byte 0 must be 0

// A new token's make: vuxad's defaults, so that both tools make the same
// tokens (docs/vuxad.md).
constexpr uint32_t kDefaultPin = 1234;
constexpr std::array<uint8_t, 8> kDefaultMasterKey = {1, 2, 3, 4, 5, 6, 7, 8};

uint32_t parse_position(std::string_view text)
{
    return parse_number(text, "POSITION", VTD_POSITIONS - 1);
}

vtd_client::Connection &connect(std::unique_ptr<vtd_client::Connection> &connection)
{
    connection = std::make_unique<vtd_client::Connection>();
    if (connection->error() != 0)
        throw Failure(kExitNoToken,
                      "cannot open the token driver: " + system_error_text(connection->error()));
    return *connection;
}

void check_control(uint32_t error, const std::string &what)
{
    if (error != 0)
        throw Failure(kExitRefused, what + ": " + system_error_text(error));
}

template <size_t N>
std::array<uint8_t, N> to_array(const Bytes &bytes)
{
    std::array<uint8_t, N> a{};
    std::copy(bytes.begin(), bytes.end(), a.begin());
    return a;
}

std::array<uint8_t, 8> random_serial()
{
    std::random_device device;
    std::array<uint8_t, 8> serial{};
    for (uint8_t &b : serial)
        b = uint8_t(device());
    return serial;
}

// The new token's make from the options; vuxad's defaults for the rest.
vtd_client::TokenOptions token_make(const Invocation &inv)
{
    vtd_client::TokenOptions make;
    make.random_serial = false; // chosen here, to be shown
    make.pin = kDefaultPin;
    make.master_key = kDefaultMasterKey;
    if (const auto v = inv.option("model"))
        make.model = uint8_t(parse_number(*v, "--model", kMaxModel));
    if (make.model < kMinModel)
        throw usage_error("--model: from 0x40 to 0x5F");
    if (const auto v = inv.option("memory")) {
        const uint32_t bytes = parse_number(*v, "--memory", kMaxMemory);
        if (bytes < kMinMemory || bytes % 2 != 0)
            throw usage_error("--memory: an even number of bytes from 128 to 131070");
        make.memory_words = uint16_t(bytes / 2);
    }
    const auto serial = inv.option("serial");
    make.serial = serial ? to_array<8>(parse_hex_exact(*serial, "--serial", 8)) : random_serial();
    if (const auto v = inv.option("pin"))
        make.pin = parse_number(*v, "--pin");
    if (const auto v = inv.option("master-key"))
        make.master_key = to_array<8>(parse_hex_exact(*v, "--master-key", 8));
    if (const auto v = inv.option("settings"))
        make.settings = to_array<2>(parse_hex_exact(*v, "--settings", 2));
    if (make.settings[0] & kSettingsByte0Unused)
        throw usage_error("--settings: bits 7-6 of the first byte must be 0");
    return make;
}

Bytes new_image(const vtd_client::TokenOptions &make)
{
    Bytes image = vtd_client::new_token_image(make);
    if (image.empty())
        throw Failure(kExitRefused, "the virtual token could not be made");
    return image;
}

// Image files hold PINs, master keys and key files: only their owner may
// read them.  The file is made private before anything is written to it.
void write_private_file(const std::string &path, const Bytes &image, bool replace)
{
    namespace fs = std::filesystem;
    if (!replace && fs::exists(path))
        throw Failure(kExitHostFile, path + ": exists already (add --replace)");
    std::error_code error;
    std::ofstream(path, std::ios::binary | std::ios::trunc).close();
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write, error);
    if (error)
        throw Failure(kExitHostFile, path + ": cannot make it private: " + error.message());
    write_file(path, image);
}

std::string kind_name(uint8_t kind)
{
    switch (kind) {
    case VTD_KIND_EMPTY:
        return "empty";
    case VTD_KIND_TOKEN:
        return "token";
    default:
        return "device";
    }
}

void list_row(std::ostream &out, uint32_t position, const vtd_client::PositionInfo &p)
{
    out << std::left << std::setw(10) << position;
    if (p.kind == VTD_KIND_EMPTY) {
        out << kind_name(p.kind) << "\n";
        return;
    }
    out << std::setw(8) << kind_name(p.kind) << std::setw(10) << (p.attached ? "yes" : "no");
    if (p.kind != VTD_KIND_TOKEN) {
        out << "descriptor " << hex(p.descriptor.data(), p.descriptor[0] <= 32 ? p.descriptor[0] : 32)
            << "\n";
        return;
    }
    const uint32_t memory = 2u * (p.descriptor[4] | uint32_t(p.descriptor[5]) << 8);
    out << std::setw(7) << hex_number(p.descriptor[1]) << std::setw(8) << memory << std::setw(8)
        << hex_number(p.led) << std::setw(18) << hex(p.serial.data(), p.serial.size())
        << p.image_size << "\n";
}

void vt_list(Invocation &inv)
{
    std::unique_ptr<vtd_client::Connection> connection;
    std::vector<vtd_client::PositionInfo> positions;
    check_control(connect(connection).list(positions), "listing the positions");
    inv.out << "POSITION  KIND    ATTACHED  MODEL  MEMORY  LED     SERIAL            IMAGE\n";
    for (size_t i = 0; i < positions.size(); i++)
        list_row(inv.out, uint32_t(i), positions[i]);
}

void vt_insert(Invocation &inv)
{
    const uint32_t position = parse_position(inv.args[0]);
    const vtd_client::TokenOptions make = token_make(inv);
    std::unique_ptr<vtd_client::Connection> connection;
    vtd_client::Connection &driver = connect(connection);
    check_control(driver.insert_token(position, new_image(make), inv.flag("replace")),
                  "inserting a token at position " + std::to_string(position));
    inv.out << "position " << position << ": new token, serial "
            << hex(make.serial.data(), make.serial.size()) << "\n";
}

void vt_new(Invocation &inv)
{
    const vtd_client::TokenOptions make = token_make(inv);
    write_private_file(inv.args[0], new_image(make), inv.flag("replace"));
    inv.out << inv.args[0] << ": new token, serial " << hex(make.serial.data(), make.serial.size())
            << "\n";
}

void vt_import(Invocation &inv)
{
    const uint32_t position = parse_position(inv.args[0]);
    const Bytes image = read_file(inv.args[1], vtd_max_image_size());
    const std::string problem = vtd_client::image_problem(image);
    if (!problem.empty())
        throw Failure(kExitRefused, inv.args[1] + ": not a usable token image: " + problem);
    std::unique_ptr<vtd_client::Connection> connection;
    check_control(connect(connection).insert_token(position, image, inv.flag("replace")),
                  "inserting the token at position " + std::to_string(position));
}

void vt_export(Invocation &inv)
{
    const uint32_t position = parse_position(inv.args[0]);
    std::unique_ptr<vtd_client::Connection> connection;
    Bytes image;
    check_control(connect(connection).export_image(position, image),
                  "exporting the token at position " + std::to_string(position));
    write_private_file(inv.args[1], image, inv.flag("replace"));
}

void vt_remove(Invocation &inv)
{
    const uint32_t position = parse_position(inv.args[0]);
    std::unique_ptr<vtd_client::Connection> connection;
    check_control(connect(connection).remove(position),
                  "removing the device at position " + std::to_string(position));
}

constexpr Option kNewTokenOptions[] = {
    {"model", "M", "model byte, 0x40 to 0x5F (below 0x50: 16-bit identifiers); default 0x50"},
    {"memory", "BYTES", "memory, even, 128 to 131070; default 8192"},
    {"serial", "HEX", "serial number, 8 bytes; default random"},
    {"pin", "PIN", "the PIN; default 1234"},
    {"master-key", "HEX", "the master key, 8 bytes; default 0102030405060708"},
    {"settings", "HEX", "the two access settings bytes; default 1a53"},
    {"replace", "", "replace what is there"},
};

constexpr Option kReplaceOption[] = {
    {"replace", "", "replace what is there"},
};

const Command kCommands[] = {
    {"vt list", "", "the virtual token driver's positions and what they hold", "", Reach::Driver, 0,
     0, vt_list},
    {"vt insert", "POSITION", "put a new virtual token at a position (0 to 7)",
     "Tokens inserted this way live in the driver's memory; `pyxo vt export` keeps them.",
     Reach::Driver, 1, 1, vt_insert, kNewTokenOptions},
    {"vt new", "IMAGE", "make a new virtual token in an image file (no driver needed)",
     "vuxad serves image files; `pyxo vt import` puts one at a position.", Reach::Driver, 1, 1,
     vt_new, kNewTokenOptions},
    {"vt import", "POSITION IMAGE", "put the token of an image file at a position", "",
     Reach::Driver, 2, 2, vt_import, kReplaceOption},
    {"vt export", "POSITION IMAGE", "save the token at a position to an image file",
     "The file is readable by its owner only: it holds the PIN, the master key and the keys.",
     Reach::Driver, 2, 2, vt_export, kReplaceOption},
    {"vt remove", "POSITION", "take the device at a position away", "", Reach::Driver, 1, 1,
     vt_remove},
};

} // namespace

std::span<const Command> vt_commands()
{
    return kCommands;
}

} // namespace pyxo_cli
