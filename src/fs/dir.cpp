// Pyxo_Dir: one entry of a directory, by its position.
#include "device/context.h"
#include "device/exchange.h"
#include "device/token_commands.h"
#include "fs/dir_entry.h"
#include "util/bytes.h"

namespace {

constexpr uint32_t kWideRequestSize = 6;   // dir_id 32-bit, index 16-bit
constexpr uint32_t kNarrowRequestSize = 4; // dir_id 16-bit, index 16-bit

uint32_t dir_wide(PYXO_CONTEXT *context, uint32_t dir_id, uint32_t index, PYXO_FILEINFO *info)
{
    uint8_t request[kWideRequestSize];
    put_le32(request, dir_id);
    put_le16(request + 4, index);
    uint8_t answer[PYXO_DIR_WIDE_ANSWER_SIZE];
    const uint32_t status =
        pyxo_exchange(context, PYXO_CMD_DIR, sizeof request, request, sizeof answer, answer);
    if (status != PYXO_OK)
        return status;
    pyxo_decode_wide_entry(answer, info);
    return PYXO_OK;
}

uint32_t dir_narrow(PYXO_CONTEXT *context, uint32_t dir_id, uint32_t index, PYXO_FILEINFO *info)
{
    uint8_t request[kNarrowRequestSize];
    put_le16(request, dir_id);
    put_le16(request + 2, index);
    uint8_t answer[PYXO_DIR_NARROW_ANSWER_SIZE];
    const uint32_t status =
        pyxo_exchange(context, PYXO_CMD_DIR, sizeof request, request, sizeof answer, answer);
    if (status != PYXO_OK)
        return status;
    pyxo_decode_narrow_entry(answer, info);
    return PYXO_OK;
}

} // namespace

extern "C" PYXO_API uint32_t PYXO_CALL Pyxo_Dir(PYXO_CONTEXT *context, uint32_t dir_id,
                                                uint32_t index, PYXO_FILEINFO *info)
{
    // Listing moves the token's selection away from any file.
    pyxo_mark_no_file_selected(context);
    const uint32_t status = pyxo_wide_ids(context) ? dir_wide(context, dir_id, index, info)
                                                   : dir_narrow(context, dir_id, index, info);
    if (status != PYXO_OK)
        return status; // the record is written only on success
    info->dir_id = dir_id;
    return PYXO_OK;
}
