// Command 0x104: one entry of a directory by its position.  Position 0 is
// the directory's own record; the entries listed in it follow in creation
// order.  Answer layouts: docs/virtual-token.md.
#include <string.h>

#include "commands.h"
#include "fs.h"
#include "request.h"

namespace vtd {

namespace {

constexpr uint32_t kWideAnswer = 14;
constexpr uint32_t kNarrowAnswer = 8;
constexpr uint32_t kSizeEscape = 31; // the high part of a word count is in the next byte
constexpr uint32_t kTypeShift = 5;   // type code in bits 7-5 of a byte

// The entry at a listing position (1 onwards), or kMissing.
int listed_entry(const Token &token, uint32_t dir_id, uint32_t position)
{
    for (uint32_t i = 0; i < token.entry_count; i++) {
        if (listed_in(token.entries[i], dir_id) && --position == 0)
            return (int)i;
    }
    return kMissing;
}

// A directory's record: its word count, its header included, with the
// escape for a high part of 31 or more.  at points at the count's low byte.
void put_dir_record(uint8_t *at, uint32_t count)
{
    const uint32_t high = count >> 8;
    at[0] = (uint8_t)count;
    at[1] = (uint8_t)(high < kSizeEscape ? high : kSizeEscape);
    at[2] = (uint8_t)(high < kSizeEscape ? 0 : high);
}

void put_wide_entry(uint8_t *a, const Entry &e)
{
    const bool link = !is_file(e);
    a[6] = link ? 0 : e.access;
    a[7] = (uint8_t)((link ? kTypeDirLink : e.type) << kTypeShift);
    put_le16(a + 8, e.words);
    put_le32(a + 10, link ? e.dir_id : e.file_id);
}

void put_narrow_entry(uint8_t *a, const Entry &e)
{
    const bool link = !is_file(e);
    const uint32_t type = link ? kTypeDirLink : e.type;
    put_le16(a + 4, type << 13 | e.words);
    if (link) {
        put_le16(a + 6, e.dir_id);
    } else {
        a[6] = (uint8_t)e.file_id;
        a[7] = e.access;
    }
}

} // namespace

uint8_t cmd_dir(Token &token, Exchange &ex)
{
    token.selected = kNoSelection;
    if (!request_is(ex, form_length(token, 6, 4)))
        return kStatusBadParameter;
    const uint8_t *at = ex.request;
    const uint32_t dir_id = take_id(token, at);
    const uint32_t position = get_le16(at);
    if (find_dir(token, dir_id) == kMissing)
        return kStatusNotFound;
    const int index = position == 0 ? kRootDir : listed_entry(token, dir_id, position);
    if (index == kMissing)
        return kStatusNotFound;

    const bool wide = wide_ids(token);
    uint8_t *a = answer_data(ex, wide ? kWideAnswer : kNarrowAnswer);
    memset(a, 0, ex.answer_length);
    memcpy(a, ex.request, wide ? 6 : 4); // which entry this is
    if (index == kRootDir)
        put_dir_record(a + (wide ? 6 : 4), dir_capacity(token, dir_id) + dir_header_words(token));
    else if (wide)
        put_wide_entry(a, token.entries[index]);
    else
        put_narrow_entry(a, token.entries[index]);
    return kStatusOk;
}

} // namespace vtd
