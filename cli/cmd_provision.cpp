// Key files: the token's HMAC key (an inner and an outer key file holding
// the two MD5 states HMAC_MD5 hands out) and CHAP secrets (a length word,
// then the secret).  Key files have type 4, so they are never read back;
// A2 says who may write them, A3 who may hash with them.
#include <algorithm>
#include <ostream>

#include "args.h"
#include "cli.h"
#include "output.h"
#include "secret.h"
#include "status.h"

namespace pyxo_cli {

namespace {

constexpr uint8_t kKeyFileType = 4;
constexpr uint8_t kNever = 7;
constexpr uint32_t kStateSize = 16; // an HMAC key file: the MD5 state A, B, C, D
constexpr uint32_t kMaxSecret = 0xFFFF; // what a CHAP file's length word can say

// The message and identifier --check hashes on both sides.
constexpr uint8_t kCheckMessage[] = {'p', 'y', 'x', 'o', ' ', 'c', 'h', 'e', 'c', 'k'};
constexpr uint32_t kCheckIdentifier = 0x5A;

struct Conditions {
    uint8_t use;   // A3: hashing
    uint8_t write; // A2: writing
};

Conditions parse_conditions(const Invocation &inv)
{
    const auto value = [&inv](std::string_view name, uint8_t fallback) {
        const std::optional<std::string> text = inv.option(name);
        return text ? uint8_t(parse_number(*text, "--" + std::string(name), kNever)) : fallback;
    };
    const Conditions c{value("use", 0), value("write", 2)};
    if (c.write == kNever)
        throw usage_error("--write 7 (never) would leave the key file empty: it is filled by "
                          "writing it");
    return c;
}

// A key file to make: its identifier and what it holds.
struct KeyFile {
    uint32_t file;
    Bytes contents;
    ~KeyFile() { wipe(contents.data(), contents.size()); }
};

void delete_if_present(Invocation &inv, uint32_t dir, uint32_t file)
{
    inv.renew_credentials();
    const uint32_t status = Pyxo_DeleteFile(&inv.token(), dir, file);
    if (status != PYXO_ERR_5) // no such file: nothing to replace
        check(status, "deleting the old file " + std::to_string(file));
}

// Creates one key file; creating leaves it selected.
void create_key_file(Invocation &inv, uint32_t dir, const KeyFile &key, Conditions conditions)
{
    PYXO_FILEINFO info{};
    info.dir_id = dir;
    info.file_id = key.file;
    info.size = uint32_t(key.contents.size());
    info.type = kKeyFileType;
    info.access1 = kNever; // not sent for a key file: it is never read
    info.access2 = conditions.write;
    info.access3 = conditions.use;
    inv.renew_credentials();
    check(Pyxo_CreateFile(&inv.token(), &info), "creating key file " + std::to_string(key.file));
}

// Fills the key file just created (and so selected).
void fill_key_file(Invocation &inv, const KeyFile &key)
{
    inv.renew_credentials();
    uint32_t written = 0;
    check(Pyxo_WriteFile(&inv.token(), key.contents.data(), 0, uint32_t(key.contents.size()),
                         &written),
          "writing key file " + std::to_string(key.file));
}

// Best effort: deletes the files a failed provisioning began.
void discard(Invocation &inv, uint32_t dir, const std::vector<uint32_t> &files)
{
    for (uint32_t file : files) {
        try {
            inv.renew_credentials();
        } catch (const Failure &) {
        }
        Pyxo_DeleteFile(&inv.token(), dir, file);
    }
}

// Makes every file, or none: files made before a failure are deleted.
void make_key_files(Invocation &inv, uint32_t dir, const std::vector<KeyFile> &files)
{
    const Conditions conditions = parse_conditions(inv);
    if (inv.flag("replace"))
        for (const KeyFile &key : files)
            delete_if_present(inv, dir, key.file);
    std::vector<uint32_t> made;
    try {
        for (const KeyFile &key : files) {
            create_key_file(inv, dir, key, conditions);
            made.push_back(key.file);
            fill_key_file(inv, key);
        }
    } catch (const Failure &failure) {
        if (made.empty())
            throw;
        discard(inv, dir, made);
        throw Failure(failure.exit_code(), std::string(failure.what()) +
                                               " (the key files made were deleted again)");
    }
}

void compare(const uint8_t token[16], const uint8_t host[16], std::string_view what)
{
    if (!std::equal(token, token + 16, host))
        throw Failure(kExitRefused, "check: the token's " + std::string(what) + " " +
                                        hex(token, 16) + " differs from this machine's " +
                                        hex(host, 16));
}

void provision_hmac(Invocation &inv)
{
    const uint32_t dir = parse_number(inv.args[0], "DIR");
    const uint32_t inner_file = parse_number(inv.args[1], "INNER_FILE");
    const uint32_t outer_file = parse_number(inv.args[2], "OUTER_FILE");
    if (inner_file == outer_file)
        throw usage_error("INNER_FILE and OUTER_FILE must differ");
    const Secret key(read_source(inv, inv.args[3], "KEY"));

    std::vector<KeyFile> files(2);
    files[0] = {inner_file, Bytes(kStateSize)};
    files[1] = {outer_file, Bytes(kStateSize)};
    uint8_t host[16];
    HMAC_MD5(kCheckMessage, sizeof kCheckMessage, key.data(), int32_t(key.size()),
             files[0].contents.data(), files[1].contents.data(), host);
    make_key_files(inv, dir, files);
    if (!inv.flag("check"))
        return;
    uint8_t token[16];
    inv.renew_credentials();
    check(Pyxo_HMAC_MD5(&inv.token(), dir, inner_file, dir, outer_file, kCheckMessage,
                        sizeof kCheckMessage, token),
          "check");
    compare(token, host, "HMAC-MD5");
    inv.out << "checked: the token's HMAC-MD5 matches\n";
}

// Word 0 the secret's length in bytes, then the secret, padded to a word.
Bytes chap_file_contents(const Secret &secret)
{
    Bytes contents(2 + secret.size() + secret.size() % 2, 0);
    contents[0] = uint8_t(secret.size());
    contents[1] = uint8_t(secret.size() >> 8);
    std::copy(secret.data(), secret.data() + secret.size(), contents.begin() + 2);
    return contents;
}

void provision_chap(Invocation &inv)
{
    const uint32_t dir = parse_number(inv.args[0], "DIR");
    const uint32_t file = parse_number(inv.args[1], "FILE");
    const Secret secret(read_source(inv, inv.args[2], "SECRET", kMaxSecret));

    std::vector<KeyFile> files(1);
    files[0] = {file, chap_file_contents(secret)};
    make_key_files(inv, dir, files);
    if (!inv.flag("check"))
        return;
    uint8_t token[16], host[16];
    inv.renew_credentials();
    check(Pyxo_CHAP_MD5(&inv.token(), dir, file, kCheckIdentifier, kCheckMessage,
                        sizeof kCheckMessage, token),
          "check");
    CHAP_MD5(kCheckIdentifier, secret.data(), uint32_t(secret.size()), kCheckMessage,
             sizeof kCheckMessage, host);
    compare(token, host, "CHAP-MD5");
    inv.out << "checked: the token's CHAP-MD5 matches\n";
}

constexpr Option kOptions[] = {
    {"use", "C", "the condition for hashing with the key (A3), 0 to 7; default 0 (always)"},
    {"write", "C", "the condition for writing the key file (A2), 0 to 6; default 2 (master key)"},
    {"replace", "", "delete files of the same identifiers first"},
    {"check", "", "hash a test message on the token and here, and compare"},
};

const Command kCommands[] = {
    {"provision-hmac", "DIR INNER_FILE OUTER_FILE (HEX|@FILE|-)",
     "store an HMAC-MD5 key on the token as two key files",
     "Computes the MD5 states after the key's inner and outer block on this machine and\n"
     "writes each into a new 16-byte key file; `pyxo hmac DIR INNER_FILE DIR OUTER_FILE`\n"
     "then computes HMAC-MD5 with the key.  Creating files usually needs --master-key.",
     Reach::Token, 4, 4, provision_hmac, kOptions},
    {"provision-chap", "DIR FILE (HEX|@FILE|-)", "store a CHAP secret on the token as a key file",
     "The file holds the secret's length in bytes (a 16-bit word), then the secret;\n"
     "`pyxo chap DIR FILE ID CHALLENGE` then answers challenges with it.",
     Reach::Token, 3, 3, provision_chap, kOptions},
};

} // namespace

std::span<const Command> provision_commands()
{
    return kCommands;
}

} // namespace pyxo_cli
