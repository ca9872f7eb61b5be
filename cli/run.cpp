// The command line: global options, the command table, each command's own
// options and arguments, help, and the exit code.
#include <algorithm>
#include <exception>
#include <iomanip>
#include <istream>
#include <ostream>

#include "args.h"
#include "cli.h"
#include "token.h"

namespace pyxo_cli {

namespace {

struct Group {
    std::string_view title;
    std::span<const Command> (*commands)();
};

constexpr Group kGroups[] = {
    {"The token", device_commands},
    {"Files", fs_commands},
    {"PIN, master key and access settings", auth_commands},
    {"Hashing on the token", hash_commands},
    {"Key files", provision_commands},
    {"Digests on this machine (no token)", host_commands},
    {"Virtual tokens (the virtual token driver's management)", vt_commands},
};

constexpr std::string_view kGlobalUsage = "pyxo [--token N] [--pin PIN] [--master-key HEX] COMMAND [ARGS]";

constexpr Option kGlobalOptions[] = {
    {"token", "N", "the token at driver position N (as `pyxo list` shows), not the first one"},
    {"pin", "PIN", "verify this PIN (a 32-bit number) before the command"},
    {"master-key", "HEX", "verify this master key (8 bytes in hex) before the command"},
};

const Command *find_command(std::string_view name)
{
    for (const Group &group : kGroups)
        for (const Command &command : group.commands())
            if (command.name == name)
                return &command;
    return nullptr;
}

// The second words of the commands named "<first> ...": " list insert".
std::string group_commands(std::string_view first)
{
    std::string words;
    for (const Group &group : kGroups) {
        for (const Command &command : group.commands()) {
            const std::string_view name = command.name;
            if (name.size() <= first.size() || !name.starts_with(first) || name[first.size()] != ' ')
                continue;
            words += ' ';
            words += name.substr(first.size() + 1);
        }
    }
    return words;
}

const Option *find_option(std::span<const Option> options, std::string_view name)
{
    const auto it = std::find_if(options.begin(), options.end(),
                                 [name](const Option &o) { return o.name == name; });
    return it == options.end() ? nullptr : &*it;
}

void print_options(std::ostream &out, std::span<const Option> options)
{
    for (const Option &o : options) {
        std::string left("--");
        left += o.name;
        if (!o.value_name.empty()) {
            left += ' ';
            left += o.value_name;
        }
        out << "  " << std::left << std::setw(20) << left << " " << o.help << "\n";
    }
}

void print_overview(std::ostream &out)
{
    out << "usage: " << kGlobalUsage << "\n";
    for (const Group &group : kGroups) {
        if (group.commands().empty())
            continue;
        out << "\n" << group.title << ":\n";
        for (const Command &c : group.commands())
            out << "  " << std::left << std::setw(14) << c.name << " " << c.summary << "\n";
    }
    out << "\nOptions for every token command:\n";
    print_options(out, kGlobalOptions);
    out << "\nNumbers are decimal or hex with 0x; byte strings are hex digit pairs.\n"
           "Where data is asked for, @FILE reads a file and - standard input.\n"
           "`pyxo help COMMAND` describes one command.  Exit codes: 0 done, 1 refused by the\n"
           "library or the token, 2 command line mistake, 3 no token, 4 credential refused,\n"
           "5 file on this machine unreadable or unwritable.\n";
}

void print_command_help(std::ostream &out, const Command &c)
{
    out << "usage: pyxo " << c.name;
    if (!c.options.empty())
        out << " [OPTIONS]";
    if (!c.usage.empty())
        out << " " << c.usage;
    out << "\n\n" << c.summary << "\n";
    if (!c.help.empty())
        out << "\n" << c.help << "\n";
    if (!c.options.empty()) {
        out << "\nOptions:\n";
        print_options(out, c.options);
    }
    if (c.reach == Reach::Token) {
        out << "\nToken options:\n";
        print_options(out, kGlobalOptions);
    }
}

// Takes the value of "--name value" or "--name=value" at argv[i];
// advances i past what it used.
std::string take_value(const Option &option, std::string_view arg, size_t eq,
                       const std::vector<std::string> &argv, size_t &i)
{
    if (option.value_name.empty()) {
        if (eq != std::string_view::npos)
            throw usage_error("--" + std::string(option.name) + " takes no value");
        return {};
    }
    if (eq != std::string_view::npos)
        return std::string(arg.substr(eq + 1));
    if (i + 1 >= argv.size())
        throw usage_error("--" + std::string(option.name) + " needs a value (" +
                          std::string(option.value_name) + ")");
    return argv[++i];
}

void set_global(Globals &globals, std::string_view name, const std::string &value)
{
    if (name == "token")
        globals.token = parse_number(value, "--token");
    else if (name == "pin")
        globals.pin = parse_number(value, "--pin");
    else
        globals.master_key = parse_hex_exact(value, "--master-key", 8);
}

// Parses one "--..." argument, a command option (first) or a global one.
// Returns false for an argument that is no option.
bool parse_option(Invocation *inv, Globals &globals, const std::vector<std::string> &argv,
                  size_t &i)
{
    const std::string_view arg = argv[i];
    if (arg.size() < 3 || arg.substr(0, 2) != "--")
        return false;
    const size_t eq = arg.find('=');
    const std::string_view name = arg.substr(2, eq == std::string_view::npos ? eq : eq - 2);
    if (inv) {
        if (const Option *option = find_option(inv->command.options, name)) {
            inv->options[std::string(name)] = take_value(*option, arg, eq, argv, i);
            return true;
        }
    }
    if (const Option *option = find_option(kGlobalOptions, name)) {
        set_global(globals, name, take_value(*option, arg, eq, argv, i));
        return true;
    }
    throw usage_error("unknown option --" + std::string(name) +
                      (inv ? " (`pyxo help " + std::string(inv->command.name) + "` lists them)"
                           : std::string(" (`pyxo help` lists them)")));
}

// The command named at argv[i] (one word, or two for a group such as
// "vt list"); advances i past the name.
const Command &take_command(const std::vector<std::string> &argv, size_t &i)
{
    if (i + 1 < argv.size()) {
        if (const Command *c = find_command(argv[i] + " " + argv[i + 1])) {
            i += 2;
            return *c;
        }
    }
    if (const Command *c = find_command(argv[i])) {
        i += 1;
        return *c;
    }
    if (const std::string group = group_commands(argv[i]); !group.empty())
        throw usage_error("'" + argv[i] + "' needs one of:" + group);
    throw usage_error("unknown command '" + argv[i] + "' (`pyxo help` lists the commands)");
}

void check_reach(const Invocation &inv)
{
    const Globals &g = inv.globals;
    if (inv.command.reach == Reach::Token || !(g.token || g.pin || g.master_key))
        return;
    throw usage_error("--token, --pin and --master-key do not apply to " +
                      std::string(inv.command.name));
}

void check_arity(const Invocation &inv)
{
    const Command &c = inv.command;
    const size_t n = inv.args.size();
    if (n >= c.min_args && n <= c.max_args)
        return;
    throw usage_error(std::string(n < c.min_args ? "missing arguments" : "too many arguments") +
                      "; usage: pyxo " + std::string(c.name) + " " + std::string(c.usage));
}

int help(const std::vector<std::string> &argv, size_t i, std::ostream &out)
{
    if (i >= argv.size()) {
        print_overview(out);
        return kExitOk;
    }
    const Command &c = take_command(argv, i);
    print_command_help(out, c);
    return kExitOk;
}

int invoke(const Command &command, const Globals &globals, const std::vector<std::string> &argv,
           size_t i, std::ostream &out, std::ostream &err, std::istream &in);

int dispatch(const std::vector<std::string> &argv, std::ostream &out, std::ostream &err,
             std::istream &in)
{
    Globals globals;
    size_t i = 0;
    while (i < argv.size() && parse_option(nullptr, globals, argv, i))
        i++;
    if (i >= argv.size())
        throw usage_error("no command given (`pyxo help` lists the commands)");
    if (argv[i] == "help" || argv[i] == "--help" || argv[i] == "-h")
        return help(argv, i + 1, out);
    if (argv[i] == "--version") {
        out << "pyxo 1.1.1\n";
        return kExitOk;
    }
    const Command &command = take_command(argv, i);
    try {
        return invoke(command, globals, argv, i, out, err, in);
    } catch (const Failure &failure) {
        throw Failure(failure.exit_code(), std::string(command.name) + ": " + failure.what());
    }
}

// Reads the command's own arguments (from argv[i]) and runs it.
int invoke(const Command &command, const Globals &globals, const std::vector<std::string> &argv,
           size_t i, std::ostream &out, std::ostream &err, std::istream &in)
{
    Invocation inv(command, out, err, in);
    inv.globals = globals;
    for (bool options_end = false; i < argv.size(); i++) {
        if (argv[i] == "--help" || argv[i] == "-h") {
            print_command_help(out, inv.command);
            return kExitOk;
        }
        if (!options_end && argv[i] == "--")
            options_end = true;
        else if (options_end || !parse_option(&inv, inv.globals, argv, i))
            inv.args.push_back(argv[i]);
    }
    check_reach(inv);
    check_arity(inv);
    inv.command.handler(inv);
    return kExitOk;
}

} // namespace

Failure usage_error(const std::string &message)
{
    return Failure(kExitUsage, message);
}

int run(int argc, const char *const argv[], std::ostream &out, std::ostream &err,
        std::istream &in)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        const int code = dispatch(args, out, err, in);
        out.flush();
        return code;
    } catch (const Failure &failure) {
        out.flush();
        err << "pyxo: " << failure.what() << "\n";
        return failure.exit_code();
    } catch (const std::exception &e) {
        out.flush();
        err << "pyxo: " << e.what() << "\n";
        return kExitRefused;
    }
}

} // namespace pyxo_cli
