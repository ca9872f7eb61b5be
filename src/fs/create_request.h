// The request that creates an entry on the token.  Files and directories
// share one layout; a directory is an entry of type 0 with file identifier
// 0 and access byte 0.
//
//   wide, 12 bytes:  0-3 dir_id, 4-7 file_id, 8 access byte,
//                    9 type in bits 7-5, 10-11 size in words
//   narrow file, 8:  0-1 dir_id, 2-3 file_id, 4-5 descriptor word
//                    (type in bits 15-13, words in 12-0), 6 access byte, 7 zero
//   narrow dir, 6:   0-1 dir_id, 2-3 zero, 4-5 size in words, all 16 bits
#ifndef VUXA_FS_CREATE_REQUEST_H
#define VUXA_FS_CREATE_REQUEST_H

#include <stdint.h>

constexpr uint32_t PYXO_CREATE_WIDE_SIZE = 12;
constexpr uint32_t PYXO_CREATE_NARROW_FILE_SIZE = 8;
constexpr uint32_t PYXO_CREATE_NARROW_DIR_SIZE = 6;
constexpr uint32_t PYXO_CREATE_REQUEST_MAX = PYXO_CREATE_WIDE_SIZE;

// An entry to create, its fields checked to fit the form they go in.
struct PyxoNewEntry {
    uint32_t dir_id;
    uint32_t file_id;
    uint8_t access_byte;
    uint8_t type;
    uint32_t words;
};

// Each writes the request and returns its length.
uint32_t pyxo_encode_create_wide(const PyxoNewEntry *entry,
                                 uint8_t request[PYXO_CREATE_REQUEST_MAX]);
uint32_t pyxo_encode_create_narrow_file(const PyxoNewEntry *entry,
                                        uint8_t request[PYXO_CREATE_REQUEST_MAX]);
uint32_t pyxo_encode_create_narrow_dir(const PyxoNewEntry *entry,
                                       uint8_t request[PYXO_CREATE_REQUEST_MAX]);

#endif
