// Pyxo_DeleteDir, Pyxo_DeleteFile and Pyxo_DeleteAllFiles.
#include "device/context.h"
#include "device/exchange.h"
#include "device/token_commands.h"
#include "util/bytes.h"

namespace {

constexpr uint32_t kDeleteDirSize = 4;        // dir_id 32-bit, in both forms
constexpr uint32_t kDeleteFileWideSize = 8;   // dir_id, file_id: 32-bit each
constexpr uint32_t kDeleteFileNarrowSize = 4; // dir_id, file_id: 16-bit each
constexpr uint32_t kSettingsRequestSize = 4;  // sub-operation, three zero bytes
constexpr uint32_t kRootDirId = 0;            // cannot be deleted

} // namespace

extern "C" PYXO_API uint32_t PYXO_CALL Pyxo_DeleteDir(PYXO_CONTEXT *context, uint32_t dir_id)
{
    if (dir_id == kRootDirId)
        return PYXO_ERR_INVALID_PARAMETER;
    pyxo_mark_no_file_selected(context);
    uint8_t request[kDeleteDirSize];
    put_le32(request, dir_id);
    return pyxo_exchange_status(context, PYXO_CMD_DELETE_DIR, sizeof request, request);
}

extern "C" PYXO_API uint32_t PYXO_CALL Pyxo_DeleteFile(PYXO_CONTEXT *context, uint32_t dir_id,
                                                       uint32_t file_id)
{
    pyxo_mark_no_file_selected(context);
    uint8_t request[kDeleteFileWideSize];
    uint32_t length = kDeleteFileWideSize;
    if (pyxo_wide_ids(context)) {
        put_le32(request, dir_id);
        put_le32(request + 4, file_id);
    } else {
        // Both cut to 16 bits without a check: the token judges them.
        put_le16(request, dir_id);
        put_le16(request + 2, file_id);
        length = kDeleteFileNarrowSize;
    }
    return pyxo_exchange_status(context, PYXO_CMD_DELETE_FILE, length, request);
}

extern "C" PYXO_API uint32_t PYXO_CALL Pyxo_DeleteAllFiles(PYXO_CONTEXT *context)
{
    const uint8_t request[kSettingsRequestSize] = {PYXO_SETTINGS_DELETE_ALL_FILES, 0, 0, 0};
    return pyxo_exchange_status(context, PYXO_CMD_SETTINGS, sizeof request, request);
}
