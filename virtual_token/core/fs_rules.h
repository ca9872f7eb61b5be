// The file system's lookups and accounting over any table of entries: the
// token's own, or the entries of an image that is being checked before it
// replaces a token.  A table offers size(), at(i) (an Entry), wide() and
// memory_words().
#ifndef VTD_FS_RULES_H
#define VTD_FS_RULES_H

#include "token.h"

namespace vtd {

constexpr int kRootDir = -2; // find_dir: directory 0, which has no entry
constexpr int kMissing = -1;

// Header words: wide tokens keep 32-bit identifiers in their records.
inline uint32_t dir_header_words(bool wide)
{
    return wide ? 3 : 1;
}
inline uint32_t file_header_words(bool wide)
{
    return wide ? 4 : 2;
}
// Narrow records keep a size in 13 bits beside the 3-bit type.
inline uint32_t max_entry_words(bool wide)
{
    return wide ? 0xFFFF : 0x1FFF;
}

inline bool is_file(const Entry &entry)
{
    return entry.type != kTypeDirectory;
}

// Whether an entry is listed in a directory: files in theirs, directories
// in directory 0.
inline bool listed_in(const Entry &entry, uint32_t dir_id)
{
    return is_file(entry) ? entry.dir_id == dir_id : dir_id == 0;
}

inline uint32_t entry_cost(bool wide, const Entry &entry)
{
    return entry.words + (is_file(entry) ? file_header_words(wide) : dir_header_words(wide));
}

template <class Table> int table_find_dir(const Table &table, uint32_t dir_id)
{
    if (dir_id == 0)
        return kRootDir;
    for (uint32_t i = 0; i < table.size(); i++) {
        const Entry e = table.at(i);
        if (!is_file(e) && e.dir_id == dir_id)
            return (int)i;
    }
    return kMissing;
}

template <class Table> int table_find_file(const Table &table, uint32_t dir_id, uint32_t file_id)
{
    for (uint32_t i = 0; i < table.size(); i++) {
        const Entry e = table.at(i);
        if (is_file(e) && e.dir_id == dir_id && e.file_id == file_id)
            return (int)i;
    }
    return kMissing;
}

// Words a directory offers: directory 0 the memory less its header.
template <class Table> uint32_t table_dir_capacity(const Table &table, uint32_t dir_id)
{
    const int index = table_find_dir(table, dir_id);
    if (index == kRootDir)
        return table.memory_words() - dir_header_words(table.wide());
    return index == kMissing ? 0 : table.at((uint32_t)index).words;
}

template <class Table> uint32_t table_dir_used(const Table &table, uint32_t dir_id)
{
    uint32_t used = 0;
    for (uint32_t i = 0; i < table.size(); i++) {
        const Entry e = table.at(i);
        if (listed_in(e, dir_id))
            used += entry_cost(table.wide(), e);
    }
    return used;
}

template <class Table> bool table_capacity_kept(const Table &table, uint32_t dir_id)
{
    return table_dir_used(table, dir_id) <= table_dir_capacity(table, dir_id);
}

} // namespace vtd

#endif
