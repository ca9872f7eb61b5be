// Pyxo_CreateDir and Pyxo_CreateFile: the library checks what it can judge
// (evenness, the token's memory, ranges of identifiers, types and access
// conditions) and leaves the rest to the token.
#include "device/context.h"
#include "device/exchange.h"
#include "device/token_commands.h"
#include "fs/access_byte.h"
#include "fs/create_request.h"
#include "fs/entry_format.h"

namespace {

// What the mirror's attribute bits show for a file the library created.
constexpr uint8_t kCreatedFileAttr = 3;

// Evenness and the token's memory, shared by files and directories.
uint32_t check_size(const PYXO_CONTEXT *context, uint32_t size)
{
    if (pyxo_is_odd(size))
        return PYXO_ERR_ODD_LENGTH;
    if (size > context->memory_size)
        return PYXO_ERR_NO_SPACE;
    return PYXO_OK;
}

bool conditions_in_range(const PYXO_FILEINFO *info)
{
    return info->access1 <= PYXO_ACCESS_MAX && info->access2 <= PYXO_ACCESS_MAX &&
           info->access3 <= PYXO_ACCESS_MAX;
}

// The narrow form has 16-bit directory and 8-bit file identifiers, and a
// file's word count shares its field with the type bits.
bool fits_narrow(const PYXO_FILEINFO *info, uint32_t words)
{
    return info->dir_id <= PYXO_NARROW_DIR_ID_MAX && info->file_id <= PYXO_NARROW_FILE_ID_MAX &&
           words <= PYXO_DESCRIPTOR_WORDS_MASK;
}

bool creatable_type(uint8_t type)
{
    return type >= PYXO_TYPE_FILE_2 && type <= PYXO_TYPE_FILE_4;
}

// Steps in this order, so an odd size reports 18 even when it is too large.
uint32_t check_file(const PYXO_CONTEXT *context, const PYXO_FILEINFO *info)
{
    const uint32_t status = check_size(context, info->size);
    if (status != PYXO_OK)
        return status;
    if (!conditions_in_range(info))
        return PYXO_ERR_INVALID_PARAMETER;
    const uint32_t words = info->size / PYXO_WORD_SIZE;
    if (words == 0 || (!pyxo_wide_ids(context) && !fits_narrow(info, words)))
        return PYXO_ERR_INVALID_PARAMETER;
    if (!creatable_type(info->type))
        return PYXO_ERR_INVALID_PARAMETER;
    return PYXO_OK;
}

void mirror_created(PYXO_CONTEXT *context, const PYXO_FILEINFO *info)
{
    context->current_dir_id = info->dir_id;
    context->current_file_id = info->file_id;
    context->current_file_size = info->size;
    context->current_file_type = info->type;
    context->current_file_attr = kCreatedFileAttr;
}

} // namespace

extern "C" PYXO_API uint32_t PYXO_CALL Pyxo_CreateDir(PYXO_CONTEXT *context, uint32_t dir_id,
                                                      uint32_t size)
{
    const uint32_t check = check_size(context, size);
    if (check != PYXO_OK)
        return check;
    const PyxoNewEntry entry = {dir_id, 0, 0, PYXO_TYPE_DIRECTORY, size / PYXO_WORD_SIZE};
    if (entry.words == 0)
        return PYXO_ERR_INVALID_PARAMETER;
    uint8_t request[PYXO_CREATE_REQUEST_MAX];
    const uint32_t length = pyxo_wide_ids(context) ? pyxo_encode_create_wide(&entry, request)
                                                   : pyxo_encode_create_narrow_dir(&entry, request);
    return pyxo_exchange_status(context, PYXO_CMD_CREATE_DIR, length, request);
}

extern "C" PYXO_API uint32_t PYXO_CALL Pyxo_CreateFile(PYXO_CONTEXT *context,
                                                       const PYXO_FILEINFO *info)
{
    const uint32_t check = check_file(context, info);
    if (check != PYXO_OK)
        return check; // nothing sent, the mirror as it was
    const PyxoNewEntry entry = {info->dir_id, info->file_id, pyxo_pack_access(info), info->type,
                                info->size / PYXO_WORD_SIZE};
    uint8_t request[PYXO_CREATE_REQUEST_MAX];
    const uint32_t length = pyxo_wide_ids(context)
                                ? pyxo_encode_create_wide(&entry, request)
                                : pyxo_encode_create_narrow_file(&entry, request);
    const uint32_t status = pyxo_exchange_status(context, PYXO_CMD_CREATE_FILE, length, request);
    if (status != PYXO_OK) {
        pyxo_mark_no_file_selected(context);
        return status;
    }
    // The token leaves the new file selected.
    mirror_created(context, info);
    return PYXO_OK;
}
