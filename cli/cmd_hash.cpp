// Hashing on the token: one block operation, HMAC-MD5 and CHAP-MD5 with
// key material held in the token's files.
#include <ostream>

#include "args.h"
#include "cli.h"
#include "output.h"
#include "status.h"

namespace pyxo_cli {

namespace {

// The token hashes one MD5 block; Pyxo_HashToken ignores data beyond it,
// which the tool refuses rather than drop silently.
constexpr size_t kBlockSize = 64;

struct ModeName {
    std::string_view name;
    uint32_t mode;
};

constexpr ModeName kModes[] = {
    {"raw", PYXO_HASH_MODE_RAW},
    {"keyed", PYXO_HASH_MODE_KEYED},
    {"chap", PYXO_HASH_MODE_CHAP},
};

uint32_t parse_mode(std::string_view text)
{
    for (const ModeName &m : kModes)
        if (m.name == text || std::to_string(m.mode) == text)
            return m.mode;
    throw usage_error("MODE: '" + std::string(text) + "' is none of raw (0), keyed (1), chap (2)");
}

void print_digest(Invocation &inv, const uint8_t digest[16])
{
    inv.out << hex(digest, 16) << "\n";
}

void hash(Invocation &inv)
{
    if (inv.args.size() == 3)
        throw usage_error("DIR and FILE go together");
    const uint32_t mode = parse_mode(inv.args[0]);
    const bool select = inv.args.size() == 4;
    if (!select && mode != PYXO_HASH_MODE_RAW)
        throw usage_error("keyed and chap hash with a key file: name its DIR and FILE");
    const uint32_t dir = select ? parse_number(inv.args[1], "DIR") : 0;
    const uint32_t file = select ? parse_number(inv.args[2], "FILE") : 0;
    const Bytes data = read_source(inv, inv.args.back(), "DATA", kBlockSize);

    PYXO_CONTEXT &c = inv.token();
    if (select)
        check(Pyxo_SelectFile(&c, dir, file),
              "selecting file " + std::to_string(file) + " of directory " + std::to_string(dir));
    uint8_t digest[16];
    check(Pyxo_HashToken(&c, mode, data.data(), uint32_t(data.size()), digest), "hashing");
    print_digest(inv, digest);
}

void hmac(Invocation &inv)
{
    const uint32_t inner_dir = parse_number(inv.args[0], "INNER_DIR");
    const uint32_t inner_file = parse_number(inv.args[1], "INNER_FILE");
    const uint32_t outer_dir = parse_number(inv.args[2], "OUTER_DIR");
    const uint32_t outer_file = parse_number(inv.args[3], "OUTER_FILE");
    const Bytes data = read_source(inv, inv.args[4], "DATA");

    uint8_t digest[16];
    check(Pyxo_HMAC_MD5(&inv.token(), inner_dir, inner_file, outer_dir, outer_file, data.data(),
                        int32_t(data.size()), digest),
          "HMAC-MD5 of " + std::to_string(data.size()) + " bytes");
    print_digest(inv, digest);
}

void chap(Invocation &inv)
{
    const uint32_t dir = parse_number(inv.args[0], "DIR");
    const uint32_t file = parse_number(inv.args[1], "FILE");
    const uint32_t id = parse_number(inv.args[2], "ID", 0xFF);
    const Bytes challenge = read_source(inv, inv.args[3], "CHALLENGE");

    uint8_t digest[16];
    check(Pyxo_CHAP_MD5(&inv.token(), dir, file, id, challenge.data(), int32_t(challenge.size()),
                        digest),
          "CHAP-MD5 with a " + std::to_string(challenge.size()) + "-byte challenge");
    print_digest(inv, digest);
}

const Command kCommands[] = {
    {"hash", "MODE [DIR FILE] (HEX|@FILE|-)", "one MD5 block operation on the token",
     "MODE raw (0): one MD5 compression of the data (at most 64 bytes) from the initial\n"
     "value.  keyed (1): MD5 resumed from the state the key file DIR FILE holds, over the\n"
     "data (up to 55 bytes end the message).  chap (2): the CHAP block (at most 52 bytes:\n"
     "identifier, length, challenge) with the secret of DIR FILE.",
     Reach::Token, 2, 4, hash},
    {"hmac", "INNER_DIR INNER_FILE OUTER_DIR OUTER_FILE (HEX|@FILE|-)",
     "HMAC-MD5 of up to 55 bytes with the key held in two key files",
     "The key files are those `pyxo provision-hmac` makes.", Reach::Token, 5, 5, hmac},
    {"chap", "DIR FILE ID (HEX|@FILE|-)",
     "the CHAP-MD5 response to a challenge of up to 50 bytes with the secret in a key file",
     "ID is the CHAP identifier, 0 to 255.  The secret file is what `pyxo provision-chap`\n"
     "makes.",
     Reach::Token, 4, 4, chap},
};

} // namespace

std::span<const Command> hash_commands()
{
    return kCommands;
}

} // namespace pyxo_cli
