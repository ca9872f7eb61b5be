// Packing and unpacking of the access byte, shared by listing and creating.
#include "fs/access_byte.h"

#include "fs/entry_format.h"

namespace {

constexpr uint32_t kHighConditionShift = 3; // bits 5-3
constexpr uint8_t kConditionMask = 0x07;

uint8_t high_condition(uint8_t access_byte)
{
    return (uint8_t)((access_byte >> kHighConditionShift) & kConditionMask);
}

uint8_t low_condition(uint8_t access_byte)
{
    return (uint8_t)(access_byte & kConditionMask);
}

} // namespace

uint8_t pyxo_pack_access(const PYXO_FILEINFO *info)
{
    const uint8_t high = info->type == PYXO_TYPE_FILE_4 ? info->access3 : info->access1;
    return (uint8_t)((high & kConditionMask) << kHighConditionShift |
                     (info->access2 & kConditionMask));
}

void pyxo_unpack_access(uint8_t access_byte, PYXO_FILEINFO *info)
{
    info->access2 = low_condition(access_byte);
    if (info->type == PYXO_TYPE_FILE_4) {
        info->access1 = PYXO_ACCESS_NONE;
        info->access3 = high_condition(access_byte);
        return;
    }
    info->access1 = high_condition(access_byte);
    info->access3 = 0;
}
