// The token's MD5 block operation: the 80-byte request that carries a
// chaining field and one 64-byte message block, and the table of the three
// modes that say how each is formed and how the answer is finished.
#ifndef VUXA_TOKENHASH_HASH_REQUEST_H
#define VUXA_TOKENHASH_HASH_REQUEST_H

#include <stdint.h>

#include "md5/md5_internal.h" // MD5's sizes and initial value, named once for the library
#include "pyxo.h"

enum : uint32_t {
    PYXO_CHAINING_SIZE = MD5_DIGEST_SIZE,
    PYXO_HASH_BLOCK_OFFSET = PYXO_CHAINING_SIZE, // block byte k is request byte 16 + k
    PYXO_HASH_REQUEST_SIZE = PYXO_CHAINING_SIZE + MD5_BLOCK_SIZE,
    PYXO_HASH_MODE_MASK = 0x0F, // only the low four bits of the mode argument count
};

// What the token is told to start from in the chaining field.
enum PYXO_CHAINING : uint8_t {
    PYXO_CHAINING_INITIAL_VALUE, // MD5's initial value
    PYXO_CHAINING_ZERO,          // 16 zero bytes: the selected file supplies the value
};

// Where the host puts MD5's end marker 0x80 into the block.
enum PYXO_END_MARKER : uint8_t {
    PYXO_END_MARKER_NONE,      // the caller formats the whole block
    PYXO_END_MARKER_WHEN_ROOM, // at block byte [length] when length < 64
    PYXO_END_MARKER_ALWAYS,    // at block byte [length]; the length limit keeps it inside
};

// One row of the mode table.
struct PYXO_HASH_MODE_ROW {
    uint32_t command;
    PYXO_CHAINING chaining;
    PYXO_END_MARKER end_marker;
    bool bit_count;         // length x 8 + 512 at block bytes 56-59 when length < 56
    uint32_t max_length;    // longer data is refused with PYXO_ERR_DATA_TOO_LONG
    bool add_initial_value; // the answer plus MD5's initial value is the digest
};

// The row of a mode argument (low four bits), or null for an unknown mode.
const PYXO_HASH_MODE_ROW *pyxo_hash_mode(uint32_t mode);

// Writes the 80-byte request for data under a mode whose length check has
// passed: chaining field, the first min(length, 64) data bytes, zero bytes,
// the mode's additions.
void pyxo_build_hash_request(const PYXO_HASH_MODE_ROW *mode, const uint8_t *data, uint32_t length,
                             uint8_t request[PYXO_HASH_REQUEST_SIZE]);

// Turns the token's 16-byte answer into the mode's digest, in place.
void pyxo_finish_digest(const PYXO_HASH_MODE_ROW *mode, uint8_t digest[MD5_DIGEST_SIZE]);

// Pyxo_HashToken with its request in a buffer the caller names, so that the
// wipe of the request can be observed: the request holds only zeros
// afterwards on every path that built it.
uint32_t pyxo_hash_token(PYXO_CONTEXT *context, uint32_t mode, const uint8_t *data, uint32_t length,
                         uint8_t digest[MD5_DIGEST_SIZE], uint8_t request[PYXO_HASH_REQUEST_SIZE]);

#endif
