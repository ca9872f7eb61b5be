#include "output.h"

#include <iomanip>
#include <ostream>
#include <sstream>

namespace pyxo_cli {

std::string hex(const uint8_t *data, size_t size)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(2 * size);
    for (size_t i = 0; i < size; i++) {
        text += kDigits[data[i] >> 4];
        text += kDigits[data[i] & 15];
    }
    return text;
}

std::string hex_number(uint32_t value)
{
    std::ostringstream text;
    text << "0x" << std::hex << value;
    return text.str();
}

std::string serial_text(const uint32_t serial_number[2])
{
    uint8_t bytes[8];
    for (int i = 0; i < 8; i++)
        bytes[i] = uint8_t(serial_number[i / 4] >> (8 * (i % 4)));
    return hex(bytes, sizeof bytes);
}

void hex_dump(std::ostream &out, const Bytes &data, uint32_t first_offset)
{
    constexpr size_t kPerLine = 16;
    for (size_t line = 0; line < data.size(); line += kPerLine) {
        std::ostringstream text;
        text << std::hex << std::setfill('0') << std::setw(8) << first_offset + line << " ";
        std::string printable;
        for (size_t i = line; i < line + kPerLine; i++) {
            if (i < data.size()) {
                text << " " << std::setw(2) << unsigned(data[i]);
                printable += data[i] >= 0x20 && data[i] < 0x7F ? char(data[i]) : '.';
            } else {
                text << "   ";
            }
        }
        out << text.str() << "  |" << printable << "|\n";
    }
}

void write_raw(std::ostream &out, const Bytes &data)
{
    out.write(reinterpret_cast<const char *>(data.data()), std::streamsize(data.size()));
}

} // namespace pyxo_cli
