// Digests computed on this machine by the library's host functions: no
// token involved.
#include <cerrno>
#include <cstring>
#include <fstream>
#include <istream>
#include <ostream>

#include "args.h"
#include "cli.h"
#include "output.h"
#include "secret.h"

namespace pyxo_cli {

namespace {

// MD5 of a stream of any length, read in chunks.
void md5_stream(std::istream &in, const std::string &name, uint8_t digest[16])
{
    MD5_CTX context;
    MD5Init(&context);
    char chunk[65536];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0)
        MD5Update(&context, reinterpret_cast<const uint8_t *>(chunk), uint32_t(in.gcount()));
    if (in.bad())
        throw Failure(kExitHostFile, name + ": read error");
    MD5Final(digest, &context);
}

void md5(Invocation &inv)
{
    const std::string &source = inv.args[0];
    uint8_t digest[16];
    if (source == "-") {
        md5_stream(inv.in, "standard input", digest);
    } else if (source[0] == '@') {
        const std::string path = source.substr(1);
        std::ifstream file(path, std::ios::binary);
        if (!file)
            throw Failure(kExitHostFile, path + ": cannot open: " + std::strerror(errno));
        md5_stream(file, path, digest);
    } else {
        const Bytes data = parse_hex(source, "DATA");
        MD5_Hash(data.data(), uint32_t(data.size()), digest);
    }
    inv.out << hex(digest, 16) << "\n";
}

void host_hmac(Invocation &inv)
{
    Secret key(read_source(inv, inv.args[0], "KEY"));
    const Bytes data = read_source(inv, inv.args[1], "DATA");
    uint8_t inner[16], outer[16], digest[16];
    HMAC_MD5(data.data(), uint32_t(data.size()), key.data(), int32_t(key.size()), inner, outer,
             digest);
    if (inv.flag("states")) {
        inv.out << "inner  " << hex(inner, 16) << "\nouter  " << hex(outer, 16) << "\ndigest ";
    }
    inv.out << hex(digest, 16) << "\n";
    wipe(inner, sizeof inner);
    wipe(outer, sizeof outer);
}

void host_chap(Invocation &inv)
{
    const uint32_t id = parse_number(inv.args[0], "ID", 0xFF);
    Secret secret(read_source(inv, inv.args[1], "SECRET"));
    const Bytes challenge = read_source(inv, inv.args[2], "CHALLENGE");
    uint8_t digest[16];
    CHAP_MD5(id, secret.data(), uint32_t(secret.size()), challenge.data(),
             uint32_t(challenge.size()), digest);
    inv.out << hex(digest, 16) << "\n";
}

constexpr Option kHmacOptions[] = {
    {"states", "", "also show the inner and outer key states (what a token's key files hold)"},
};

const Command kCommands[] = {
    {"md5", "(HEX|@FILE|-)", "the MD5 digest of bytes, a file or standard input", "", Reach::Host,
     1, 1, md5},
    {"host-hmac", "KEY DATA", "HMAC-MD5 of DATA under KEY (each HEX, @FILE or -)", "", Reach::Host,
     2, 2, host_hmac, kHmacOptions},
    {"host-chap", "ID SECRET CHALLENGE",
     "the CHAP-MD5 response: MD5 of the identifier byte, SECRET and CHALLENGE",
     "ID is 0 to 255; SECRET and CHALLENGE are HEX, @FILE or -.", Reach::Host, 3, 3, host_chap},
};

} // namespace

std::span<const Command> host_commands()
{
    return kCommands;
}

} // namespace pyxo_cli
