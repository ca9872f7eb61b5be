// Decoding of the token's answer to a directory listing command into a
// PYXO_FILEINFO, in the wide (32-bit identifier) and narrow forms.
#ifndef VUXA_FS_DIR_ENTRY_H
#define VUXA_FS_DIR_ENTRY_H

#include <stdint.h>

#include "pyxo.h"

constexpr uint32_t PYXO_DIR_WIDE_ANSWER_SIZE = 14;
constexpr uint32_t PYXO_DIR_NARROW_ANSWER_SIZE = 8;

// Fill file_id, size, type and the access conditions; dir_id is the
// caller's.
void pyxo_decode_wide_entry(const uint8_t answer[PYXO_DIR_WIDE_ANSWER_SIZE], PYXO_FILEINFO *info);
void pyxo_decode_narrow_entry(const uint8_t answer[PYXO_DIR_NARROW_ANSWER_SIZE],
                              PYXO_FILEINFO *info);

#endif
