// Pyxo_SelectFile and Pyxo_CloseFile: making and dropping the token's
// selection, and the selection mirror that follows it.
#include "device/context.h"
#include "device/exchange.h"
#include "device/token_commands.h"
#include "fs/entry_format.h"
#include "util/bytes.h"

namespace {

constexpr uint32_t kWideRequestSize = 8;   // dir_id, file_id: 32-bit each
constexpr uint32_t kNarrowRequestSize = 4; // dir_id, file_id: 16-bit each

// The answer: 0-1 size in words, 2 type byte (type and attribute bits).
constexpr uint32_t kAnswerSize = 4;
enum : uint32_t { kAnswerWords = 0, kAnswerTypeByte = 2 };

// The mirror names the requested file before anything is known about it.
void mirror_requested(PYXO_CONTEXT *context, uint32_t dir_id, uint32_t file_id)
{
    context->current_dir_id = dir_id;
    context->current_file_id = file_id;
    context->current_file_size = 0;
    pyxo_mark_no_file_selected(context);
}

void mirror_selected(PYXO_CONTEXT *context, const uint8_t answer[kAnswerSize])
{
    const uint8_t type_byte = answer[kAnswerTypeByte];
    context->current_file_size = get_le16(answer + kAnswerWords) * PYXO_WORD_SIZE;
    context->current_file_type = (uint8_t)(type_byte >> PYXO_TYPE_BYTE_SHIFT);
    context->current_file_attr = type_byte & PYXO_TYPE_BYTE_LOW_MASK;
}

bool narrow_ids_fit(uint32_t dir_id, uint32_t file_id)
{
    return dir_id <= PYXO_NARROW_DIR_ID_MAX && file_id <= PYXO_NARROW_FILE_ID_MAX;
}

} // namespace

extern "C" PYXO_API uint32_t PYXO_CALL Pyxo_SelectFile(PYXO_CONTEXT *context, uint32_t dir_id,
                                                       uint32_t file_id)
{
    mirror_requested(context, dir_id, file_id);
    uint8_t request[kWideRequestSize];
    uint32_t request_size = kWideRequestSize;
    if (pyxo_wide_ids(context)) {
        put_le32(request, dir_id);
        put_le32(request + 4, file_id);
    } else {
        if (!narrow_ids_fit(dir_id, file_id))
            return PYXO_ERR_INVALID_PARAMETER;
        put_le16(request, dir_id);
        put_le16(request + 2, file_id);
        request_size = kNarrowRequestSize;
    }
    uint8_t answer[kAnswerSize];
    const uint32_t status =
        pyxo_exchange(context, PYXO_CMD_SELECT_FILE, request_size, request, sizeof answer, answer);
    if (status == PYXO_OK)
        mirror_selected(context, answer);
    return status;
}

extern "C" PYXO_API uint32_t PYXO_CALL Pyxo_CloseFile(PYXO_CONTEXT *context)
{
    // Cleared whatever the token answers, also on a context that is not open.
    context->current_dir_id = 0;
    context->current_file_id = 0;
    context->current_file_size = 0;
    pyxo_mark_no_file_selected(context);
    return pyxo_exchange_status(context, PYXO_CMD_CLOSE_FILE, 0, nullptr);
}
