// The head of every request of the settings command (0x101): byte 0 names
// the sub-operation, bytes 1-3 are 0, and the sub-operation's own bytes
// follow from byte 4 on.
#ifndef VUXA_AUTH_SETTINGS_REQUEST_H
#define VUXA_AUTH_SETTINGS_REQUEST_H

#include <stdint.h>

#include "util/bytes.h"

constexpr uint32_t PYXO_SETTINGS_HEADER_SIZE = 4;

inline void pyxo_put_settings_header(uint8_t *request, uint8_t sub_operation)
{
    put_le32(request, sub_operation);
}

#endif
