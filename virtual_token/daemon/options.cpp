#include "options.h"

#include <cerrno>
#include <cstdlib>
#include <stdexcept>
#include <string_view>

namespace vuxad {

namespace {

constexpr uint8_t kLowestModel = 0x40;
constexpr uint8_t kHighestModel = 0x5F;
constexpr uint32_t kSmallestMemory = 64 * 2;    // room for the file system's records
constexpr uint32_t kLargestMemory = 0xFFFF * 2; // the descriptor counts 16-bit words

[[noreturn]] void usage_error(const std::string &message)
{
    throw std::invalid_argument(message);
}

uint64_t parse_number(std::string_view option, const std::string &text, uint64_t highest)
{
    char *end = nullptr;
    errno = 0;
    unsigned long long value = strtoull(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0' || errno != 0 || text[0] == '-' || value > highest)
        usage_error(std::string(option) + ": not a number from 0 to " + std::to_string(highest) +
                    ": " + text);
    return value;
}

int hex_digit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

template <size_t N>
std::array<uint8_t, N> parse_bytes(std::string_view option, const std::string &text)
{
    std::array<uint8_t, N> bytes{};
    if (text.size() != 2 * N)
        usage_error(std::string(option) + ": give " + std::to_string(N) + " bytes as " +
                    std::to_string(2 * N) + " hex digits: " + text);
    for (size_t i = 0; i < N; ++i) {
        int high = hex_digit(text[2 * i]);
        int low = hex_digit(text[2 * i + 1]);
        if (high < 0 || low < 0)
            usage_error(std::string(option) + ": not hex digits: " + text);
        bytes[i] = uint8_t(high << 4 | low);
    }
    return bytes;
}

// Walks the arguments; options that take a value accept "--opt VALUE" and
// "--opt=VALUE".  Token settings apply to every --new that follows them.
class Parser {
public:
    Parser(int argc, char **argv) : args_(argv + 1, argv + argc) {}

    Options run()
    {
        while (next_ < args_.size())
            one(args_[next_++]);
        return options_;
    }

private:
    void one(const std::string &arg)
    {
        if (arg.rfind("--", 0) != 0 || arg == "--") {
            options_.images.push_back({arg, std::nullopt});
            return;
        }
        size_t equals = arg.find('=');
        std::string name = arg.substr(0, equals);
        std::optional<std::string> inline_value;
        if (equals != std::string::npos)
            inline_value = arg.substr(equals + 1);
        if (name == "--help" || name == "--create-only") {
            if (inline_value)
                usage_error(name + " takes no value");
            (name == "--help" ? options_.help : options_.create_only) = true;
            return;
        }
        with_value(name, inline_value ? *inline_value : take_value(name));
    }

    std::string take_value(const std::string &name)
    {
        if (next_ >= args_.size())
            usage_error(name + " needs a value");
        return args_[next_++];
    }

    void with_value(const std::string &name, const std::string &value)
    {
        if (name == "--dir")
            options_.dir = value;
        else if (name == "--new")
            options_.images.push_back({value, token_});
        else if (name == "--model")
            token_.model = parse_model(value);
        else if (name == "--memory")
            token_.memory_bytes = parse_memory(value);
        else if (name == "--serial")
            token_.serial = parse_bytes<8>(name, value);
        else if (name == "--pin")
            token_.pin = uint32_t(parse_number(name, value, UINT32_MAX));
        else if (name == "--master-key")
            token_.master_key = parse_bytes<8>(name, value);
        else if (name == "--settings")
            token_.settings = parse_bytes<2>(name, value);
        else
            usage_error("unknown option " + name);
    }

    static uint8_t parse_model(const std::string &value)
    {
        uint64_t model = parse_number("--model", value, 0xFF);
        if (model < kLowestModel || model > kHighestModel)
            usage_error("--model: a token model is 0x40 to 0x5F: " + value);
        return uint8_t(model);
    }

    static uint32_t parse_memory(const std::string &value)
    {
        uint64_t bytes = parse_number("--memory", value, kLargestMemory);
        if (bytes < kSmallestMemory || bytes % 2 != 0)
            usage_error("--memory: an even number of bytes, " + std::to_string(kSmallestMemory) +
                        " to " + std::to_string(kLargestMemory) + ": " + value);
        return uint32_t(bytes);
    }

    std::vector<std::string> args_;
    size_t next_ = 0;
    Options options_;
    NewToken token_;
};

} // namespace

Options parse_options(int argc, char **argv)
{
    return Parser(argc, argv).run();
}

const char *usage_text()
{
    return "usage: vuxad [OPTIONS] [IMAGE | --new IMAGE]...\n"
           "\n"
           "Serves the virtual token driver on the Unix socket DIR/VUXADRVR.  The token\n"
           "images are inserted at positions 0, 1, ... in the order given; every change\n"
           "to a token is saved to its image file before the request is answered.\n"
           "Without images the driver starts empty; management requests insert tokens.\n"
           "\n"
           "  --dir DIR          socket directory (default: $VUXA_DEVICE_DIR, else\n"
           "                     $XDG_RUNTIME_DIR/vuxa, else /run/vuxa)\n"
           "  --new IMAGE        create a fresh token in the new file IMAGE, then serve it\n"
           "  --create-only      create the --new images and exit\n"
           "Settings of the tokens made by the --new options that follow them:\n"
           "  --model M          model byte, 0x40 to 0x5F (default 0x50; below 0x50 the\n"
           "                     token uses 16-bit identifiers)\n"
           "  --memory BYTES     token memory, even, 128 to 131070 (default 8192)\n"
           "  --serial HEX       serial number, 16 hex digits (default: random)\n"
           "  --pin N            PIN (default 1234)\n"
           "  --master-key HEX   master key, 16 hex digits (default 0102030405060708)\n"
           "  --settings HEX     access settings bytes 0 and 1, 4 hex digits (default 1A53:\n"
           "                     file system changes after the master key, PIN changes\n"
           "                     after the PIN or the master key; 3 tries for the PIN,\n"
           "                     5 for the master key)\n"
           "  --help             show this text\n"
           "\n"
           "SIGTERM or SIGINT stops the daemon and removes its socket.\n";
}

} // namespace vuxad
