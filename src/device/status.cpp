// Translation of the token's one-byte answers into status codes.
#include "device/exchange.h"

namespace {

// Status code for each token status 0 to 12; 13 to 31 are all unknown.
constexpr uint8_t kTokenStatusCodes[] = {
    PYXO_OK,          PYXO_ERR_ACCESS_DENIED, PYXO_ERR_5,         PYXO_ERR_3,
    PYXO_ERR_9,       PYXO_ERR_10,            PYXO_ERR_MEMORY,    PYXO_ERR_SELFTEST,
    PYXO_ERR_14,      PYXO_ERR_15,            PYXO_ERR_NO_SPACE,  PYXO_ERR_INVALID_PARAMETER,
    PYXO_ERR_20,
};
constexpr uint32_t kTokenStatusCount = sizeof kTokenStatusCodes;
constexpr uint8_t kTokenStatusMask = 0x1F; // bits 5-7 carry no meaning

} // namespace

uint32_t pyxo_map_status(const uint8_t *answer, uint32_t length)
{
    if (length >= 2)
        return PYXO_OK;
    if (length == 0)
        return PYXO_ERR_IO;
    const uint32_t token_status = answer[0] & kTokenStatusMask;
    return token_status < kTokenStatusCount ? kTokenStatusCodes[token_status] : PYXO_ERR_UNKNOWN;
}
