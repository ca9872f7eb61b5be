// Which access condition of a file guards which use.  The access byte
// holds two conditions: bits 5-3 (access1 of data and counter files,
// access3 of key files) and bits 2-0 (access2, writing, for every type).
#ifndef VTD_FILE_RIGHTS_H
#define VTD_FILE_RIGHTS_H

#include "token.h"

namespace vtd {

inline uint8_t high_condition(const Entry &file)
{
    return (file.access >> 3) & 7;
}

// Reading: access1; key files are never read.
inline uint8_t read_condition(const Entry &file)
{
    return file.type == kTypeKey ? kNever : high_condition(file);
}

inline uint8_t write_condition(const Entry &file)
{
    return file.access & 7;
}

// Decrementing a counter file (access1), hashing with a key file (access3).
inline uint8_t use_condition(const Entry &file)
{
    return file.type == kTypeData ? kNever : high_condition(file);
}

} // namespace vtd

#endif
