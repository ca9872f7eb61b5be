// Reading arguments: numbers (decimal or 0x hex), byte strings (hex), and
// byte sources that may also name a file (@FILE) or standard input (-).
// Every parser names the argument in its complaint and throws a usage
// failure.
#ifndef PYXO_CLI_ARGS_H
#define PYXO_CLI_ARGS_H

#include <cstdint>
#include <string>
#include <string_view>

#include "cli.h"

namespace pyxo_cli {

// A number from 0 to max: "1234" or "0x4d2".
uint32_t parse_number(std::string_view text, std::string_view what, uint32_t max = UINT32_MAX);

// Hex digit pairs; ':' '-' ' ' between pairs are allowed ("01:02", "0a 0b").
Bytes parse_hex(std::string_view text, std::string_view what);

// Exactly size bytes in hex.
Bytes parse_hex_exact(std::string_view text, std::string_view what, size_t size);

// The largest file or input a byte source reads whole.
inline constexpr size_t kMaxSourceSize = 1 << 20;

// HEX, @FILE or - (standard input, once per invocation).  At most max_size
// bytes are accepted.
Bytes read_source(Invocation &inv, std::string_view text, std::string_view what,
                  size_t max_size = kMaxSourceSize);

// Whole files on this machine; failures end with kExitHostFile.
Bytes read_file(const std::string &path, size_t max_size);
void write_file(const std::string &path, const Bytes &data);

} // namespace pyxo_cli

#endif
