// What the token_calls target knows about a PYXO_CONTEXT from outside: the
// selection mirror, a byte image of the record, and the checks that hold
// after every call whatever the driver answered.
#ifndef VUXA_FUZZ_RECORD_H
#define VUXA_FUZZ_RECORD_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "pyxo.h"

constexpr uint32_t kSignature = 0x4D56515A;
constexpr uint8_t kNoFileType = 0xFF;

struct Mirror {
    uint32_t dir_id;
    uint32_t file_id;
    uint32_t size;
    uint8_t type;
    uint8_t attr;

    static Mirror of(const PYXO_CONTEXT &context);
    bool operator==(const Mirror &other) const;
    // The same, but no file selected (the other three fields kept).
    Mirror deselected() const;
    bool no_file_selected() const { return type == kNoFileType && attr == 0; }
};

// The record as bytes, taken before a call to compare with after it.
struct RecordImage {
    uint8_t bytes[sizeof(PYXO_CONTEXT)];

    static RecordImage of(const PYXO_CONTEXT &context);
    // Whether the record differs from this image only in the bytes of the
    // fields named (offset and size pairs, ended by a size of 0).
    bool same_except(const PYXO_CONTEXT &context, const size_t (*fields)[2]) const;
    bool same(const PYXO_CONTEXT &context) const;
};

// Field spans, for RecordImage::same_except.
#define RECORD_FIELD(name) {offsetof(PYXO_CONTEXT, name), sizeof(PYXO_CONTEXT::name)}
extern const size_t kMirrorFields[][2];

bool reserved_all_zero(const PYXO_CONTEXT &context);

// A status code of the library's table: 0 to 21 or 255.
bool known_status(uint32_t status);

#endif
