// What the files of the host digest library share: the compression step,
// the padding block and the fast paths of the one-shot digests.
#ifndef VUXA_MD5_MD5_INTERNAL_H
#define VUXA_MD5_MD5_INTERNAL_H

#include <stddef.h>
#include <stdint.h>

#include "pyxo.h"

enum : uint32_t {
    MD5_BLOCK_SIZE = 64,    // bytes compressed by one md5_transform
    MD5_BLOCK_WORDS = 16,   // the same block as 32-bit words
    MD5_DIGEST_SIZE = 16,   // digest and chaining state, A B C D little-endian
    MD5_LENGTH_OFFSET = 56, // where the bit count goes in the last block
    MD5_LENGTH_WORD = 14,   // the same place as a word index
    // What md5_clear_stack clears: more than the frames of MD5Final,
    // MD5Update and a compression below it together.
    MD5_STACK_CLEAR_SIZE = 512,
};

// The chaining words A, B, C, D before the first block.
extern const uint32_t md5_initial_state[4];

// 0x80 followed by 63 zero bytes: what MD5Final appends before the length.
extern const uint8_t md5_padding[MD5_BLOCK_SIZE];

// Adds length bytes to the bit count (low word first), modulo 2^64.
void md5_add_to_count(uint32_t count[2], uint32_t length);

// One compression: runs the four rounds over block x (sixteen words, each
// decoded little-endian) and adds the result into state.
void md5_transform(uint32_t state[4], const uint32_t x[MD5_BLOCK_WORDS]);

// md5_transform over `blocks` whole 64-byte blocks read straight from data.
void md5_transform_blocks(uint32_t state[4], const uint8_t *data, size_t blocks);

// Ends a message whose first prefix_bytes (a multiple of 64) are already
// compressed into state: compresses data, then the padding and the bit
// count of prefix_bytes + length bytes, and writes the digest.  state is
// left holding the digest words.
void md5_finish(uint32_t state[4], uint32_t prefix_bytes, const uint8_t *data, uint32_t length,
                uint8_t digest[MD5_DIGEST_SIZE]);

// Decodes length bytes (at most 64) into sixteen words, little-endian,
// with zero bytes after them.
void md5_load_words(uint32_t x[MD5_BLOCK_WORDS], const uint8_t *bytes, uint32_t length);

// Overwrites with zeros the stack just below the caller's frame, where the
// functions it called kept spilled words of what they hashed.  Called by
// the functions that hash a secret, after the last call that touched it.
void md5_clear_stack();

// The four state words, each least significant byte first.
void md5_encode_state(uint8_t out[MD5_DIGEST_SIZE], const uint32_t state[4]);

#endif
