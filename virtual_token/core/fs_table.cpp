// The entry table and the memory behind it.
#include <string.h>

#include "fs.h"

namespace vtd {

static uint8_t append(Token &token, const Entry &entry, uint32_t parent)
{
    if (token.entry_count == kMaxEntries)
        return kStatusNoSpace;
    const TokenTable table{token};
    if (table_dir_used(table, parent) + entry_cost(table.wide(), entry) >
        table_dir_capacity(table, parent))
        return kStatusNoSpace;
    token.entries[token.entry_count++] = entry;
    token.changed = true;
    return kStatusOk;
}

uint8_t add_dir(Token &token, uint32_t dir_id, uint32_t words)
{
    const Entry entry = {dir_id, 0, 0, (uint16_t)words, kTypeDirectory, 0};
    return append(token, entry, 0);
}

uint8_t add_file(Token &token, uint32_t dir_id, uint32_t file_id, uint8_t type, uint8_t access,
                 uint32_t words)
{
    const Entry entry = {dir_id, file_id, token.data_bytes, (uint16_t)words, type, access};
    const uint8_t status = append(token, entry, dir_id);
    if (status != kStatusOk)
        return status;
    memset(token.memory + token.data_bytes, 0, 2 * words);
    token.data_bytes += 2 * words;
    return kStatusOk;
}

// Closes the gap a file's contents leave and wipes the freed tail.
static void remove_contents(Token &token, const Entry &entry)
{
    const uint32_t size = 2u * entry.words;
    const uint32_t end = entry.data + size;
    memmove(token.memory + entry.data, token.memory + end, token.data_bytes - end);
    token.data_bytes -= size;
    memset(token.memory + token.data_bytes, 0, size);
    for (uint32_t i = 0; i < token.entry_count; i++) {
        Entry &e = token.entries[i];
        if (is_file(e) && e.data >= end)
            e.data -= size;
    }
}

void remove_entry(Token &token, int index)
{
    const Entry entry = token.entries[index];
    if (is_file(entry))
        remove_contents(token, entry);
    token.entry_count--;
    for (uint32_t i = (uint32_t)index; i < token.entry_count; i++)
        token.entries[i] = token.entries[i + 1];
    memset(&token.entries[token.entry_count], 0, sizeof(Entry));
    token.selected = kNoSelection;
    token.changed = true;
}

void remove_all(Token &token)
{
    memset(token.memory, 0, token.data_bytes);
    memset(token.entries, 0, sizeof token.entries);
    token.data_bytes = 0;
    token.entry_count = 0;
    token.selected = kNoSelection;
    token.changed = true;
}

bool fs_consistent(const Token &token)
{
    uint32_t next = 0;
    for (uint32_t i = 0; i < token.entry_count; i++) {
        const Entry &e = token.entries[i];
        if (!is_file(e)) {
            if (!table_capacity_kept(TokenTable{token}, e.dir_id))
                return false;
            continue;
        }
        if (e.data != next || find_dir(token, e.dir_id) == kMissing)
            return false;
        next += 2u * e.words;
    }
    return next == token.data_bytes && table_capacity_kept(TokenTable{token}, 0);
}

} // namespace vtd
