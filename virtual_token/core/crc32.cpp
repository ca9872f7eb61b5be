#include "crc32.h"

namespace vtd {

namespace {

constexpr uint32_t kPolynomial = 0xEDB88320;

struct CrcTable {
    uint32_t entry[256];
};

constexpr CrcTable make_table()
{
    CrcTable t = {};
    for (uint32_t i = 0; i < 256; i++) {
        uint32_t c = i;
        for (int k = 0; k < 8; k++)
            c = (c & 1) ? kPolynomial ^ (c >> 1) : c >> 1;
        t.entry[i] = c;
    }
    return t;
}

constexpr CrcTable kTable = make_table();

} // namespace

uint32_t crc32_update(uint32_t crc, const uint8_t *data, uint32_t size)
{
    crc = ~crc;
    for (uint32_t i = 0; i < size; i++)
        crc = kTable.entry[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

} // namespace vtd
