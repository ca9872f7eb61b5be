// What reading and writing the selected file share: the chunk sizes, the
// argument checks and the 4-byte header of every chunk.
#ifndef VUXA_FS_TRANSFER_H
#define VUXA_FS_TRANSFER_H

#include <stdint.h>

#include "pyxo.h"

// File data per command: 64 bytes come back per read, 76 bytes go with a
// write's 4 header bytes in at most 80 request bytes.
constexpr uint32_t PYXO_READ_CHUNK = 64;
constexpr uint32_t PYXO_WRITE_CHUNK = 76;
constexpr uint32_t PYXO_CHUNK_HEADER_SIZE = 4; // word offset, word count

// Sets *count to 0, then judges a transfer of length bytes at offset in
// chunks of chunk_size: PYXO_ERR_ODD_LENGTH for an odd offset or length,
// PYXO_ERR_INVALID_PARAMETER for an offset beyond the token's memory or a
// chunk whose word offset would not fit its 16-bit field (it would wrap
// around to the start of the file), PYXO_OK otherwise.  Looks at nothing
// in the context but memory_size, so it answers for a closed one too.
uint32_t pyxo_check_transfer(const PYXO_CONTEXT *context, uint32_t offset, uint32_t length,
                             uint32_t chunk_size, uint32_t *count);

// The header of one chunk: bytes 0-1 the word offset, 2-3 the word count.
void pyxo_put_chunk_header(uint8_t request[PYXO_CHUNK_HEADER_SIZE], uint32_t offset,
                           uint32_t chunk);

#endif
