// The token's file system: ls, read, write, mkdir, create, rm, rmdir,
// decrement, delete-all.
#include <array>
#include <iomanip>
#include <iostream>
#include <ostream>

#include "args.h"
#include "cli.h"
#include "output.h"
#include "status.h"

namespace pyxo_cli {

namespace {

// The most one read or write moves: all of a token's addressable words.
constexpr uint32_t kMaxTransfer = 0x20000;

// Pyxo_Dir is asked positions 0 to this; only 16 bits of it travel.
constexpr uint32_t kLastIndex = 0xFFFF;

struct TypeName {
    uint8_t type;
    std::string_view name;
};

constexpr TypeName kTypeNames[] = {
    {0, "directory"}, {1, "dir-entry"}, {2, "data"}, {3, "counter"}, {4, "key"}, {0xFF, "unknown"},
};

std::string type_name(uint8_t type)
{
    for (const TypeName &t : kTypeNames)
        if (t.type == type)
            return std::string(t.name);
    return std::to_string(type);
}

// TYPE of `create`: the name of a file type, or a number.
uint8_t parse_type(std::string_view text)
{
    for (const TypeName &t : kTypeNames)
        if (t.type >= 2 && t.type <= 4 && t.name == text)
            return t.type;
    if (text.empty() || text[0] < '0' || text[0] > '9')
        throw usage_error("TYPE: '" + std::string(text) +
                          "' is none of data, counter, key (or a number)");
    return uint8_t(parse_number(text, "TYPE", 0xFF));
}

std::string where(uint32_t dir, uint32_t file)
{
    return "file " + std::to_string(file) + " of directory " + std::to_string(dir);
}

// The conditions an entry type carries; the others show as "-".
std::string conditions(const PYXO_FILEINFO &f)
{
    const bool carried[3] = {f.type == 2 || f.type == 3, f.type >= 2 && f.type <= 4, f.type == 4};
    const uint8_t values[3] = {f.access1, f.access2, f.access3};
    std::string text;
    for (int i = 0; i < 3; i++) {
        if (i > 0)
            text += ' ';
        text += carried[i] ? std::to_string(values[i]) : std::string("-");
    }
    return text;
}

// Statuses that say the driver or the exchange failed, not that the token
// refused a position: they do not end a listing quietly.
bool transport_failure(uint32_t status)
{
    return status == PYXO_ERR_NO_DEVICE || status == PYXO_ERR_INVALID_HANDLE ||
           status == PYXO_ERR_IO || status == PYXO_ERR_RESPONSE_LENGTH;
}

void ls(Invocation &inv)
{
    const uint32_t dir = inv.args.empty() ? 0 : parse_number(inv.args[0], "DIR");
    PYXO_CONTEXT &c = inv.token();
    for (uint32_t index = 0; index <= kLastIndex; index++) {
        PYXO_FILEINFO f{};
        const uint32_t status = Pyxo_Dir(&c, dir, index, &f);
        if (status != PYXO_OK && (index == 0 || transport_failure(status)))
            check(status, "listing entry " + std::to_string(index) + " of directory " +
                              std::to_string(dir));
        if (status != PYXO_OK)
            return; // the token refuses the position after the last entry
        if (index == 0)
            inv.out << "INDEX  TYPE       DIR         ID          SIZE    ACCESS\n";
        inv.out << std::left << std::setw(7) << index << std::setw(11) << type_name(f.type)
                << std::setw(12) << f.dir_id << std::setw(12) << f.file_id << std::setw(8)
                << f.size << conditions(f) << "\n";
    }
}

void select(PYXO_CONTEXT &c, uint32_t dir, uint32_t file)
{
    check(Pyxo_SelectFile(&c, dir, file), "selecting " + where(dir, file));
}

void read(Invocation &inv)
{
    if (inv.args.size() == 3)
        throw usage_error("OFFSET and LENGTH go together");
    const uint32_t dir = parse_number(inv.args[0], "DIR");
    const uint32_t file = parse_number(inv.args[1], "FILE");
    const bool whole = inv.args.size() == 2;
    uint32_t offset = whole ? 0 : parse_number(inv.args[2], "OFFSET");
    uint32_t length = whole ? 0 : parse_number(inv.args[3], "LENGTH", kMaxTransfer);
    const std::optional<std::string> out_path = inv.option("out");

    PYXO_CONTEXT &c = inv.token();
    select(c, dir, file);
    if (whole)
        length = c.current_file_size;
    Bytes data(length);
    uint32_t done = 0;
    const uint32_t status = Pyxo_ReadFile(&c, data.data(), offset, length, &done);
    check(status, "reading " + std::to_string(length) + " bytes at offset " +
                      std::to_string(offset) + " (" + std::to_string(done) + " read)");
    if (!out_path)
        hex_dump(inv.out, data, offset);
    else if (*out_path == "-")
        write_raw(inv.out, data);
    else
        write_file(*out_path, data);
}

void write(Invocation &inv)
{
    const uint32_t dir = parse_number(inv.args[0], "DIR");
    const uint32_t file = parse_number(inv.args[1], "FILE");
    const uint32_t offset = parse_number(inv.args[2], "OFFSET");
    const Bytes data = read_source(inv, inv.args[3], "DATA", kMaxTransfer);

    PYXO_CONTEXT &c = inv.token();
    select(c, dir, file);
    uint32_t done = 0;
    const uint32_t status = Pyxo_WriteFile(&c, data.data(), offset, uint32_t(data.size()), &done);
    check(status, "writing " + std::to_string(data.size()) + " bytes at offset " +
                      std::to_string(offset) + " (" + std::to_string(done) + " written)");
}

void mkdir(Invocation &inv)
{
    const uint32_t dir = parse_number(inv.args[0], "DIR");
    const uint32_t size = parse_number(inv.args[1], "SIZE");
    check(Pyxo_CreateDir(&inv.token(), dir, size), "creating directory " + std::to_string(dir));
}

void create(Invocation &inv)
{
    PYXO_FILEINFO f{};
    f.dir_id = parse_number(inv.args[0], "DIR");
    f.file_id = parse_number(inv.args[1], "FILE");
    f.size = parse_number(inv.args[2], "SIZE");
    f.type = parse_type(inv.args[3]);
    f.access1 = uint8_t(parse_number(inv.args[4], "A1", 0xFF));
    f.access2 = uint8_t(parse_number(inv.args[5], "A2", 0xFF));
    f.access3 = uint8_t(parse_number(inv.args[6], "A3", 0xFF));
    check(Pyxo_CreateFile(&inv.token(), &f), "creating " + where(f.dir_id, f.file_id));
}

void rm(Invocation &inv)
{
    const uint32_t dir = parse_number(inv.args[0], "DIR");
    const uint32_t file = parse_number(inv.args[1], "FILE");
    check(Pyxo_DeleteFile(&inv.token(), dir, file), "deleting " + where(dir, file));
}

void rmdir(Invocation &inv)
{
    const uint32_t dir = parse_number(inv.args[0], "DIR");
    check(Pyxo_DeleteDir(&inv.token(), dir), "deleting directory " + std::to_string(dir));
}

void decrement(Invocation &inv)
{
    const uint32_t dir = parse_number(inv.args[0], "DIR");
    const uint32_t file = parse_number(inv.args[1], "FILE");
    PYXO_CONTEXT &c = inv.token();
    select(c, dir, file);
    check(Pyxo_Decrement(&c), "decrementing " + where(dir, file));
}

void delete_all(Invocation &inv)
{
    if (!inv.flag("yes"))
        throw usage_error("this deletes every file and directory on the token; add --yes");
    check(Pyxo_DeleteAllFiles(&inv.token()), "deleting all files");
}

constexpr Option kReadOptions[] = {
    {"out", "FILE", "write the bytes to FILE (- for standard output) instead of a hex dump"},
};

constexpr Option kDeleteAllOptions[] = {
    {"yes", "", "yes, delete everything"},
};

const Command kCommands[] = {
    {"ls", "[DIR]", "list a directory's entries (directory 0 when none is named)",
     "Columns: the entry's position, type, directory and file identifiers, size in bytes,\n"
     "and the access conditions its type carries (A1 A2 A3; - for none).  Types: directory\n"
     "(position 0: the directory itself), dir-entry (a directory listed in directory 0),\n"
     "data, counter, key.",
     Reach::Token, 0, 1, ls},
    {"read", "DIR FILE [OFFSET LENGTH]", "read a file (all of it, or LENGTH bytes at OFFSET)",
     "Shows a hex dump, or with --out writes the bytes.  Offsets and lengths are even byte\n"
     "counts: token memory is made of 16-bit words.",
     Reach::Token, 2, 4, read, kReadOptions},
    {"write", "DIR FILE OFFSET (HEX|@FILE|-)", "write bytes into a file at OFFSET", "",
     Reach::Token, 4, 4, write},
    {"mkdir", "DIR SIZE", "create a directory of SIZE bytes (even)", "", Reach::Token, 2, 2, mkdir},
    {"create", "DIR FILE SIZE TYPE A1 A2 A3", "create a file",
     "TYPE is data (2), counter (3) or key (4).  A1 A2 A3 are the access conditions, 0 to 7:\n"
     "data and counter files use A1 (reading, decrementing) and A2 (writing), key files A2\n"
     "(writing) and A3 (hashing).  Conditions: 0 always, 1 PIN, 2 master key, 3 PIN or\n"
     "master key, 4 both, 5 PIN once, 6 master key once, 7 never.",
     Reach::Token, 7, 7, create},
    {"rm", "DIR FILE", "delete a file", "", Reach::Token, 2, 2, rm},
    {"rmdir", "DIR", "delete an empty directory", "", Reach::Token, 1, 1, rmdir},
    {"decrement", "DIR FILE", "decrement a counter file", "", Reach::Token, 2, 2, decrement},
    {"delete-all", "--yes", "delete every file and directory on the token", "", Reach::Token, 0, 0,
     delete_all, kDeleteAllOptions},
};

} // namespace

std::span<const Command> fs_commands()
{
    return kCommands;
}

} // namespace pyxo_cli
