// Creating and deleting directories and files (0x10A to 0x10D) and
// deleting everything (0x101 sub-operation 3), all under the file-system
// condition of the access settings.
#include "access.h"
#include "commands.h"
#include "fs.h"
#include "request.h"

namespace vtd {

namespace {

constexpr uint8_t kAccessUnused = 0xC0;   // bits 7-6 of the access byte
constexpr uint8_t kTypeByteUnused = 0x1F; // bits 4-0 of the wide type byte
constexpr uint32_t kNarrowSizeMask = 0x1FFF;
constexpr uint32_t kMaxNarrowFileId = 0xFF;
constexpr uint32_t kCounterWords = 2; // a counter is 32 bits

// A file as a create request describes it.
struct FileRequest {
    uint32_t dir_id, file_id, words;
    uint8_t type, access;
    bool malformed; // bits that must be zero are not
};

FileRequest parse_wide_file(const uint8_t *r)
{
    FileRequest f = {get_le32(r), get_le32(r + 4), get_le16(r + 10), 0, r[8], false};
    f.type = r[9] >> 5;
    f.malformed = (r[9] & kTypeByteUnused) != 0;
    return f;
}

FileRequest parse_narrow_file(const uint8_t *r)
{
    const uint32_t word = get_le16(r + 4);
    FileRequest f = {get_le16(r), get_le16(r + 2), word & kNarrowSizeMask, 0, r[6], false};
    f.type = (uint8_t)(word >> 13);
    f.malformed = r[7] != 0 || f.file_id > kMaxNarrowFileId;
    return f;
}

uint8_t check_file(const Token &token, const FileRequest &f)
{
    if (f.malformed || (f.access & kAccessUnused) != 0 || f.file_id == 0 || f.words == 0)
        return kStatusBadParameter;
    if (f.type < kTypeData || f.type > kTypeKey)
        return kStatusBadParameter;
    if (f.type == kTypeCounter && f.words < kCounterWords)
        return kStatusBadParameter;
    const int dir = find_dir(token, f.dir_id);
    if (dir == kMissing)
        return kStatusNotFound;
    return find_file(token, f.dir_id, f.file_id) == kMissing ? kStatusOk : kStatusExists;
}

uint8_t create_file(Token &token, Exchange &ex)
{
    if (!request_is(ex, form_length(token, 12, 8)))
        return kStatusBadParameter;
    if (!condition_met(token, fs_condition(token)))
        return kStatusDenied;
    const FileRequest f =
        wide_ids(token) ? parse_wide_file(ex.request) : parse_narrow_file(ex.request);
    uint8_t status = check_file(token, f);
    if (status == kStatusOk)
        status = add_file(token, f.dir_id, f.file_id, f.type, f.access, f.words);
    if (status == kStatusOk)
        token.selected = (int)token.entry_count - 1;
    return status;
}

uint8_t create_dir(Token &token, Exchange &ex)
{
    if (!request_is(ex, form_length(token, 12, 6)))
        return kStatusBadParameter;
    if (!condition_met(token, fs_condition(token)))
        return kStatusDenied;
    const uint8_t *at = ex.request;
    const uint32_t dir_id = take_id(token, at);
    const uint32_t file_id = take_id(token, at);
    const bool wide = wide_ids(token);
    const uint32_t words = get_le16(wide ? at + 2 : at);
    if (file_id != 0 || (wide && (at[0] != 0 || at[1] != 0)))
        return kStatusBadParameter;
    if (words == 0 || words > max_entry_words(token))
        return kStatusBadParameter;
    if (find_dir(token, dir_id) != kMissing)
        return kStatusExists;
    return add_dir(token, dir_id, words);
}

bool holds_files(const Token &token, uint32_t dir_id)
{
    for (uint32_t i = 0; i < token.entry_count; i++) {
        if (is_file(token.entries[i]) && token.entries[i].dir_id == dir_id)
            return true;
    }
    return false;
}

uint8_t delete_dir(Token &token, Exchange &ex)
{
    if (!request_is(ex, 4))
        return kStatusBadParameter;
    if (!condition_met(token, fs_condition(token)))
        return kStatusDenied;
    const uint32_t dir_id = get_le32(ex.request);
    const int index = find_dir(token, dir_id);
    if (index == kRootDir)
        return kStatusBadParameter;
    if (index == kMissing)
        return kStatusNotFound;
    if (holds_files(token, dir_id))
        return kStatusNotEmpty;
    remove_entry(token, index);
    return kStatusOk;
}

uint8_t delete_file(Token &token, Exchange &ex)
{
    if (!request_is(ex, form_length(token, 8, 4)))
        return kStatusBadParameter;
    if (!condition_met(token, fs_condition(token)))
        return kStatusDenied;
    const uint8_t *at = ex.request;
    const uint32_t dir_id = take_id(token, at);
    const uint32_t file_id = take_id(token, at);
    const int index = find_file(token, dir_id, file_id);
    if (index == kMissing)
        return kStatusNotFound;
    remove_entry(token, index);
    return kStatusOk;
}

// A change that succeeded spends a once-only verification.
uint8_t spend_on_success(Token &token, uint8_t status)
{
    if (status == kStatusOk)
        spend_condition(token, fs_condition(token));
    return status;
}

} // namespace

// Creating a directory leaves the selection alone; creating a file selects
// it, or leaves nothing selected when it fails; deleting leaves nothing
// selected (deleting everything keeps the selection when it is refused).
uint8_t cmd_create_dir(Token &token, Exchange &ex)
{
    return spend_on_success(token, create_dir(token, ex));
}

uint8_t cmd_create_file(Token &token, Exchange &ex)
{
    token.selected = kNoSelection;
    return spend_on_success(token, create_file(token, ex));
}

uint8_t cmd_delete_dir(Token &token, Exchange &ex)
{
    token.selected = kNoSelection;
    return spend_on_success(token, delete_dir(token, ex));
}

uint8_t cmd_delete_file(Token &token, Exchange &ex)
{
    token.selected = kNoSelection;
    return spend_on_success(token, delete_file(token, ex));
}

uint8_t cmd_delete_all(Token &token, Exchange &ex)
{
    if (!request_is(ex, 4))
        return kStatusBadParameter;
    if (!condition_met(token, fs_condition(token)))
        return kStatusDenied;
    remove_all(token);
    return spend_on_success(token, kStatusOk);
}

} // namespace vtd
