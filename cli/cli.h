// pyxo: the command-line tool for the token, a client of libvuxa.  The
// pieces every command group shares: exit codes, the failure that ends a
// command, the command table's row, and what a handler is given.
#ifndef PYXO_CLI_CLI_H
#define PYXO_CLI_CLI_H

#include <cstdint>
#include <iosfwd>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "pyxo.h"

namespace pyxo_cli {

using Bytes = std::vector<uint8_t>;

// The tool's exit codes (docs/cli.md lists them for users).
enum ExitCode : int {
    kExitOk = 0,          // done
    kExitRefused = 1,     // the library or the token refused the operation
    kExitUsage = 2,       // a mistake on the command line
    kExitNoToken = 3,     // no token could be opened: no driver, none there, busy
    kExitCredentials = 4, // --pin or --master-key was refused
    kExitHostFile = 5,    // a file on this machine could not be read or written
};

// Ends a command: what to tell the user (one line, without the "pyxo: "
// prefix) and the exit code.
class Failure : public std::runtime_error {
public:
    Failure(int exit_code, const std::string &message)
        : std::runtime_error(message), exit_code_(exit_code)
    {
    }
    int exit_code() const { return exit_code_; }

private:
    int exit_code_;
};

// A mistake on the command line.
Failure usage_error(const std::string &message);

// Credential and token options that apply to every token command.
struct Globals {
    std::optional<uint32_t> token; // driver position, as `pyxo list` shows it
    std::optional<uint32_t> pin;
    std::optional<Bytes> master_key;
};

// What a command touches: nothing but this machine; one token through the
// library (the only reach that takes --token, --pin, --master-key); every
// token in turn; or the driver itself (the virtual token's management).
enum class Reach { Host, Token, AllTokens, Driver };

// An option of one command: a flag when value_name is empty.
struct Option {
    std::string_view name; // without the leading "--"
    std::string_view value_name;
    std::string_view help;
};

class Token;
struct Invocation;
using Handler = void (*)(Invocation &);

// One row of the command table.
struct Command {
    std::string_view name;  // "read", or two words for a group: "vt list"
    std::string_view usage; // the arguments: "DIR FILE [OFFSET LENGTH]"
    std::string_view summary;
    std::string_view help; // more lines for `pyxo help NAME`; may be empty
    Reach reach;
    size_t min_args;
    size_t max_args;
    Handler handler;
    std::span<const Option> options = {};
};

// Everything a handler gets: its arguments and options, the global options,
// the streams, and the token, opened on first use.
struct Invocation {
    Invocation(const Command &command, std::ostream &out, std::ostream &err, std::istream &in);
    ~Invocation();

    const Command &command;
    std::vector<std::string> args;
    std::map<std::string, std::string, std::less<>> options; // flags map to ""
    Globals globals;
    std::ostream &out;
    std::ostream &err; // notes beside the result; failures travel as Failure
    std::istream &in;
    bool stdin_taken = false; // only one argument may read standard input

    bool flag(std::string_view name) const { return options.count(name) != 0; }
    std::optional<std::string> option(std::string_view name) const;

    // The token: opened (position from --token) and the credentials given
    // verified on the first call; closed when the invocation ends.
    PYXO_CONTEXT &token();
    // Verifies the credentials given once more (for conditions that allow
    // one command per verification).
    void renew_credentials();

private:
    std::unique_ptr<Token> token_;
};

// The command groups, each in its own file.
std::span<const Command> device_commands();
std::span<const Command> fs_commands();
std::span<const Command> auth_commands();
std::span<const Command> hash_commands();
std::span<const Command> provision_commands();
std::span<const Command> host_commands();
std::span<const Command> vt_commands();

// Runs the tool: argv as main() gets it; returns the exit code.
int run(int argc, const char *const argv[], std::ostream &out, std::ostream &err,
        std::istream &in);

} // namespace pyxo_cli

#endif
