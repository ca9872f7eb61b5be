// CRC-32 (the polynomial of IEEE 802.3, reflected), the token image's
// checksum.
#ifndef VTD_CRC32_H
#define VTD_CRC32_H

#include <stdint.h>

namespace vtd {

// Continues a CRC over more bytes; start with crc 0.
uint32_t crc32_update(uint32_t crc, const uint8_t *data, uint32_t size);

} // namespace vtd

#endif
