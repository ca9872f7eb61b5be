// How the tool writes bytes and numbers.
#ifndef PYXO_CLI_OUTPUT_H
#define PYXO_CLI_OUTPUT_H

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>

#include "cli.h"

namespace pyxo_cli {

// Lower-case hex digit pairs, no separators: "0a1b".
std::string hex(const uint8_t *data, size_t size);
inline std::string hex(const Bytes &bytes)
{
    return hex(bytes.data(), bytes.size());
}

// "0x1a".
std::string hex_number(uint32_t value);

// The serial number as the token gives its 8 bytes, in that order.
std::string serial_text(const uint32_t serial_number[2]);

// 16 bytes a line: offset, hex, printable characters.
void hex_dump(std::ostream &out, const Bytes &data, uint32_t first_offset);

// Raw bytes to a stream (a file, or standard output).
void write_raw(std::ostream &out, const Bytes &data);

} // namespace pyxo_cli

#endif
