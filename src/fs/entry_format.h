// How the token describes an entry of its file system: type codes, the
// type field in a type byte or a descriptor word, and the limits of the
// narrow identifier form.  Listing and creating share these.
#ifndef VUXA_FS_ENTRY_FORMAT_H
#define VUXA_FS_ENTRY_FORMAT_H

#include <stdint.h>

// Entry type codes (3 bits on the token).
enum : uint8_t {
    PYXO_TYPE_DIRECTORY = 0,
    PYXO_TYPE_PLAIN = 1,      // identifier, no access conditions
    PYXO_TYPE_FILE_2 = 2,     // access1 and access2
    PYXO_TYPE_FILE_3 = 3,     // access1 and access2
    PYXO_TYPE_FILE_4 = 4,     // access2 and access3; access1 reads 7
    PYXO_TYPE_UNKNOWN = 0xFF, // what the record shows for codes 5 to 7
};

// Every condition an entry type does not carry reads as this.
constexpr uint8_t PYXO_ACCESS_NONE = 7;
constexpr uint8_t PYXO_ACCESS_MAX = 7;

// A type byte: type code in bits 7-5, the rest in bits 4-0.
constexpr uint32_t PYXO_TYPE_BYTE_SHIFT = 5;
constexpr uint8_t PYXO_TYPE_BYTE_LOW_MASK = 0x1F;

// The narrow descriptor word: type code in bits 15-13, words in bits 12-0.
constexpr uint32_t PYXO_DESCRIPTOR_TYPE_SHIFT = 13;
constexpr uint32_t PYXO_DESCRIPTOR_WORDS_MASK = 0x1FFF;

// A directory's word count: a low byte and a high part of five bits, in
// which all ones says that the high part is the whole next byte.
constexpr uint8_t PYXO_DIR_HIGH_ESCAPE = 0x1F;

// Narrow identifiers.
constexpr uint32_t PYXO_NARROW_DIR_ID_MAX = 0xFFFF;
constexpr uint32_t PYXO_NARROW_FILE_ID_MAX = 0xFF;

// Word offsets and word counts travel in 16-bit fields.
constexpr uint32_t PYXO_WORD_FIELD_MAX = 0xFFFF;

// Byte counts travel as 16-bit words.
constexpr uint32_t PYXO_WORD_SIZE = 2;

inline bool pyxo_is_odd(uint32_t byte_count)
{
    return (byte_count % PYXO_WORD_SIZE) != 0;
}

#endif
