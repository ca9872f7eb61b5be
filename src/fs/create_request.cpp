// Encoding of the requests that create files and directories.
#include "fs/create_request.h"

#include "fs/entry_format.h"
#include "util/bytes.h"

namespace {

enum : uint32_t { kWideDir = 0, kWideFile = 4, kWideAccess = 8, kWideType = 9, kWideWords = 10 };
enum : uint32_t { kNarrowDir = 0, kNarrowFile = 2, kNarrowWords = 4, kNarrowAccess = 6 };

} // namespace

uint32_t pyxo_encode_create_wide(const PyxoNewEntry *entry,
                                 uint8_t request[PYXO_CREATE_REQUEST_MAX])
{
    put_le32(request + kWideDir, entry->dir_id);
    put_le32(request + kWideFile, entry->file_id);
    request[kWideAccess] = entry->access_byte;
    request[kWideType] = (uint8_t)(entry->type << PYXO_TYPE_BYTE_SHIFT);
    put_le16(request + kWideWords, entry->words);
    return PYXO_CREATE_WIDE_SIZE;
}

uint32_t pyxo_encode_create_narrow_file(const PyxoNewEntry *entry,
                                        uint8_t request[PYXO_CREATE_REQUEST_MAX])
{
    const uint32_t descriptor = (uint32_t)entry->type << PYXO_DESCRIPTOR_TYPE_SHIFT |
                                (entry->words & PYXO_DESCRIPTOR_WORDS_MASK);
    put_le16(request + kNarrowDir, entry->dir_id);
    put_le16(request + kNarrowFile, entry->file_id);
    put_le16(request + kNarrowWords, descriptor);
    request[kNarrowAccess] = entry->access_byte;
    request[kNarrowAccess + 1] = 0;
    return PYXO_CREATE_NARROW_FILE_SIZE;
}

uint32_t pyxo_encode_create_narrow_dir(const PyxoNewEntry *entry,
                                       uint8_t request[PYXO_CREATE_REQUEST_MAX])
{
    put_le16(request + kNarrowDir, entry->dir_id);
    put_le16(request + kNarrowFile, 0);
    put_le16(request + kNarrowWords, entry->words);
    return PYXO_CREATE_NARROW_DIR_SIZE;
}
