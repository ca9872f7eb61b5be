// The selected file: selecting it (0x105), dropping it (0x106), reading
// (0x107), writing (0x108) and decrementing it (0x109).
#include <string.h>

#include "access.h"
#include "commands.h"
#include "file_rights.h"
#include "fs.h"
#include "request.h"

namespace vtd {

namespace {

constexpr uint32_t kSelectAnswer = 4;
constexpr uint32_t kMaxReadWords = kMaxAnswer / 2;                  // 32
constexpr uint32_t kMaxWriteWords = (kMaxRequest - kParamSize) / 2; // 38

// Attribute bits of the selection answer: what the session may do with
// the file now.
enum : uint8_t { kMayRead = 1, kMayWrite = 2, kMayUse = 4 };

uint8_t attributes(const Token &token, const Entry &file)
{
    uint8_t bits = 0;
    if (condition_met(token, read_condition(file)))
        bits |= kMayRead;
    if (condition_met(token, write_condition(file)))
        bits |= kMayWrite;
    if (condition_met(token, use_condition(file)))
        bits |= kMayUse;
    return bits;
}

// Checks a transfer of words at a word offset within the selected file.
uint8_t check_range(const Entry &file, uint32_t offset, uint32_t count, uint32_t max_count)
{
    if (count == 0 || count > max_count || offset + count > file.words)
        return kStatusBadParameter;
    return kStatusOk;
}

} // namespace

uint8_t cmd_select(Token &token, Exchange &ex)
{
    token.selected = kNoSelection;
    if (!request_is(ex, form_length(token, 8, 4)))
        return kStatusBadParameter;
    const uint8_t *at = ex.request;
    const uint32_t dir_id = take_id(token, at);
    const uint32_t file_id = take_id(token, at);
    const int index = find_file(token, dir_id, file_id);
    if (index == kMissing)
        return kStatusNotFound;
    token.selected = index;
    const Entry &file = token.entries[index];
    uint8_t *a = answer_data(ex, kSelectAnswer);
    put_le16(a, file.words);
    a[2] = (uint8_t)(file.type << 5 | attributes(token, file));
    a[3] = file.access;
    return kStatusOk;
}

uint8_t cmd_close(Token &token, Exchange &)
{
    token.selected = kNoSelection;
    return kStatusOk;
}

uint8_t cmd_read(Token &token, Exchange &ex)
{
    if (!request_is(ex, 4))
        return kStatusBadParameter;
    if (token.selected == kNoSelection)
        return kStatusNoSelection;
    const Entry &file = token.entries[token.selected];
    const uint8_t condition = read_condition(file);
    if (!condition_met(token, condition))
        return kStatusDenied;
    const uint32_t offset = get_le16(ex.request), count = get_le16(ex.request + 2);
    if (check_range(file, offset, count, kMaxReadWords) != kStatusOk)
        return kStatusBadParameter;
    memcpy(answer_data(ex, 2 * count), file_bytes(token, file) + 2 * offset, 2 * count);
    spend_condition(token, condition);
    return kStatusOk;
}

uint8_t cmd_write(Token &token, Exchange &ex)
{
    if (token.selected == kNoSelection)
        return kStatusNoSelection;
    const Entry &file = token.entries[token.selected];
    const uint8_t condition = write_condition(file);
    if (!condition_met(token, condition))
        return kStatusDenied;
    const uint32_t offset = get_le16(ex.request), count = get_le16(ex.request + 2);
    if (ex.payload_length != 2 * count ||
        check_range(file, offset, count, kMaxWriteWords) != kStatusOk)
        return kStatusBadParameter;
    memcpy(file_bytes(token, file) + 2 * offset, ex.request + kParamSize, 2 * count);
    token.changed = true;
    spend_condition(token, condition);
    return kStatusOk;
}

uint8_t cmd_decrement(Token &token, Exchange &ex)
{
    if (!request_is(ex, 0))
        return kStatusBadParameter;
    if (token.selected == kNoSelection)
        return kStatusNoSelection;
    const Entry &file = token.entries[token.selected];
    if (file.type != kTypeCounter)
        return kStatusWrongType;
    const uint8_t condition = use_condition(file);
    if (!condition_met(token, condition))
        return kStatusDenied;
    uint8_t *counter = file_bytes(token, file);
    const uint32_t value = get_le32(counter);
    if (value == 0)
        return kStatusCounterEmpty;
    put_le32(counter, value - 1);
    token.changed = true;
    spend_condition(token, condition);
    return kStatusOk;
}

} // namespace vtd
