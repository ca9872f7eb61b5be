#include "args.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <istream>
#include <iterator>

namespace pyxo_cli {

namespace {

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

bool is_separator(char c)
{
    return c == ':' || c == '-' || c == ' ';
}

std::string quoted(std::string_view text)
{
    std::string q;
    q.reserve(text.size() + 2);
    q += '\'';
    q += text;
    q += '\'';
    return q;
}

// Reads a stream to its end, refusing more than max_size bytes.
Bytes read_stream(std::istream &in, size_t max_size, std::string_view name)
{
    Bytes data;
    char chunk[4096];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        data.insert(data.end(), chunk, chunk + in.gcount());
        if (data.size() > max_size)
            throw usage_error(std::string(name) + ": more than " + std::to_string(max_size) +
                              " bytes");
    }
    if (in.bad())
        throw Failure(kExitHostFile, std::string(name) + ": read error");
    return data;
}

} // namespace

uint32_t parse_number(std::string_view text, std::string_view what, uint32_t max)
{
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string_view digits = hex ? text.substr(2) : text;
    const uint64_t base = hex ? 16 : 10;
    if (digits.empty())
        throw usage_error(std::string(what) + ": a number is missing");
    for (char c : digits) {
        const int d = hex_digit(c);
        if (d < 0 || uint64_t(d) >= base)
            throw usage_error(std::string(what) + ": " + quoted(text) +
                              " is not a number (decimal, or hex with 0x)");
    }
    uint64_t value = 0;
    for (char c : digits) {
        value = value * base + uint64_t(hex_digit(c));
        if (value > max)
            break; // before the value can overflow
    }
    if (value > max)
        throw usage_error(std::string(what) + ": " + quoted(text) + " is above " +
                          std::to_string(max));
    return uint32_t(value);
}

Bytes parse_hex(std::string_view text, std::string_view what)
{
    Bytes bytes;
    size_t i = 0;
    while (i < text.size()) {
        if (is_separator(text[i]) && !bytes.empty()) {
            i++;
            continue;
        }
        const int high = hex_digit(text[i]);
        const int low = i + 1 < text.size() ? hex_digit(text[i + 1]) : -1;
        if (high < 0 || low < 0)
            throw usage_error(std::string(what) + ": " + quoted(text) +
                              " is not hex bytes (pairs of hex digits, such as 0a1b2c)");
        bytes.push_back(uint8_t(high * 16 + low));
        i += 2;
    }
    return bytes;
}

Bytes parse_hex_exact(std::string_view text, std::string_view what, size_t size)
{
    Bytes bytes = parse_hex(text, what);
    if (bytes.size() != size)
        throw usage_error(std::string(what) + ": " + std::to_string(size) + " bytes (" +
                          std::to_string(2 * size) + " hex digits) needed, not " +
                          std::to_string(bytes.size()));
    return bytes;
}

Bytes read_source(Invocation &inv, std::string_view text, std::string_view what, size_t max_size)
{
    if (text == "-") {
        if (inv.stdin_taken)
            throw usage_error(std::string(what) + ": standard input is already taken");
        inv.stdin_taken = true;
        return read_stream(inv.in, max_size, "standard input");
    }
    if (!text.empty() && text[0] == '@')
        return read_file(std::string(text.substr(1)), max_size);
    Bytes bytes = parse_hex(text, what);
    if (bytes.size() > max_size)
        throw usage_error(std::string(what) + ": more than " + std::to_string(max_size) +
                          " bytes");
    return bytes;
}

Bytes read_file(const std::string &path, size_t max_size)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw Failure(kExitHostFile, path + ": cannot open: " + std::strerror(errno));
    return read_stream(file, max_size, path);
}

void write_file(const std::string &path, const Bytes &data)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (file)
        file.write(reinterpret_cast<const char *>(data.data()), std::streamsize(data.size()));
    if (file)
        file.close();
    if (!file)
        throw Failure(kExitHostFile, path + ": cannot write: " + std::strerror(errno));
}

} // namespace pyxo_cli
