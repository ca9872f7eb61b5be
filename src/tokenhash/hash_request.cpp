// Forming the 80-byte hash request and finishing the token's answer.
#include "tokenhash/hash_request.h"

#include <string.h>

#include "util/bytes.h"

namespace {

constexpr uint8_t kEndMarker = 0x80;
constexpr uint32_t kBitCountOffset = 56; // block bytes 56-59; 60-63 stay 0
// The block already absorbed into the selected file's chaining value.
constexpr uint32_t kBitsAhead = PYXO_MD5_BLOCK_SIZE * 8;

void put_chaining(PYXO_CHAINING chaining, uint8_t field[PYXO_CHAINING_SIZE])
{
    if (chaining == PYXO_CHAINING_ZERO) {
        memset(field, 0, PYXO_CHAINING_SIZE);
        return;
    }
    for (uint32_t k = 0; k < 4; k++)
        put_le32(field + 4 * k, PYXO_MD5_INITIAL_VALUE[k]);
}

bool wants_end_marker(PYXO_END_MARKER end_marker, uint32_t length)
{
    if (end_marker == PYXO_END_MARKER_WHEN_ROOM)
        return length < PYXO_MD5_BLOCK_SIZE;
    return end_marker == PYXO_END_MARKER_ALWAYS;
}

} // namespace

void pyxo_build_hash_request(const PYXO_HASH_MODE_ROW *mode, const uint8_t *data, uint32_t length,
                             uint8_t request[PYXO_HASH_REQUEST_SIZE])
{
    uint8_t *block = request + PYXO_HASH_BLOCK_OFFSET;
    const uint32_t copied = length < PYXO_MD5_BLOCK_SIZE ? length : PYXO_MD5_BLOCK_SIZE;
    put_chaining(mode->chaining, request);
    memset(block, 0, PYXO_MD5_BLOCK_SIZE);
    if (copied > 0)
        memcpy(block, data, copied);
    if (wants_end_marker(mode->end_marker, length))
        block[length] = kEndMarker;
    if (mode->bit_count && length < kBitCountOffset)
        put_le32(block + kBitCountOffset, length * 8 + kBitsAhead);
}

void pyxo_finish_digest(const PYXO_HASH_MODE_ROW *mode, uint8_t digest[PYXO_DIGEST_SIZE])
{
    if (!mode->add_initial_value)
        return;
    for (uint32_t k = 0; k < 4; k++) {
        uint8_t *word = digest + 4 * k;
        put_le32(word, get_le32(word) + PYXO_MD5_INITIAL_VALUE[k]);
    }
}
