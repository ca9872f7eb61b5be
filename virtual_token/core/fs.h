// The token's file system: directory 0 spans the memory; the other
// directories are carved out of it, and files out of their directory.
// Entries live in a table beside the memory, in creation order; file
// contents lie in memory in the same order, without gaps.
//
// Accounting, in words: a directory of n words takes n + dir_header_words
// of directory 0; a file of n words takes n + file_header_words of its
// directory.  Directory 0 has the memory less its own header.
#ifndef VTD_FS_H
#define VTD_FS_H

#include "fs_rules.h"
#include "token.h"

namespace vtd {

// The token's entry table, as the rules of fs_rules.h read it.
struct TokenTable {
    const Token &token;
    uint32_t size() const { return token.entry_count; }
    Entry at(uint32_t i) const { return token.entries[i]; }
    bool wide() const { return wide_ids(token); }
    uint32_t memory_words() const { return vtd::memory_words(token); }
};

inline uint32_t dir_header_words(const Token &token)
{
    return dir_header_words(wide_ids(token));
}
inline uint32_t file_header_words(const Token &token)
{
    return file_header_words(wide_ids(token));
}
inline uint32_t max_entry_words(const Token &token)
{
    return max_entry_words(wide_ids(token));
}

inline int find_dir(const Token &token, uint32_t dir_id)
{
    return table_find_dir(TokenTable{token}, dir_id);
}
inline int find_file(const Token &token, uint32_t dir_id, uint32_t file_id)
{
    return table_find_file(TokenTable{token}, dir_id, file_id);
}
inline uint32_t dir_capacity(const Token &token, uint32_t dir_id)
{
    return table_dir_capacity(TokenTable{token}, dir_id);
}

// Add an entry at the end of the table (a file with zeroed contents).
// Return a status: no space in the directory or the table.
uint8_t add_dir(Token &token, uint32_t dir_id, uint32_t words);
uint8_t add_file(Token &token, uint32_t dir_id, uint32_t file_id, uint8_t type, uint8_t access,
                 uint32_t words);

// Remove one entry (wiping a file's contents), or every entry.
void remove_entry(Token &token, int index);
void remove_all(Token &token);

inline uint8_t *file_bytes(Token &token, const Entry &entry)
{
    return token.memory + entry.data;
}

// Whether the table and the accounting agree (the memory self-test).
bool fs_consistent(const Token &token);

} // namespace vtd

#endif
