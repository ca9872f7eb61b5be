// Forming the 80-byte hash request and finishing the token's answer.
#include "tokenhash/hash_request.h"

#include <string.h>

#include "util/bytes.h"

namespace {

constexpr uint8_t kEndMarker = 0x80;
// The block already absorbed into the selected file's chaining value.
constexpr uint32_t kBitsAhead = MD5_BLOCK_SIZE * 8;

void put_chaining(PYXO_CHAINING chaining, uint8_t field[PYXO_CHAINING_SIZE])
{
    if (chaining == PYXO_CHAINING_ZERO) {
        memset(field, 0, PYXO_CHAINING_SIZE);
        return;
    }
    md5_encode_state(field, md5_initial_state);
}

bool wants_end_marker(PYXO_END_MARKER end_marker, uint32_t length)
{
    if (end_marker == PYXO_END_MARKER_WHEN_ROOM)
        return length < MD5_BLOCK_SIZE;
    return end_marker == PYXO_END_MARKER_ALWAYS;
}

} // namespace

void pyxo_build_hash_request(const PYXO_HASH_MODE_ROW *mode, const uint8_t *data, uint32_t length,
                             uint8_t request[PYXO_HASH_REQUEST_SIZE])
{
    uint8_t *block = request + PYXO_HASH_BLOCK_OFFSET;
    const uint32_t copied = length < MD5_BLOCK_SIZE ? length : MD5_BLOCK_SIZE;
    put_chaining(mode->chaining, request);
    memset(block, 0, MD5_BLOCK_SIZE);
    if (copied > 0)
        memcpy(block, data, copied);
    if (wants_end_marker(mode->end_marker, length))
        block[length] = kEndMarker;
    // The bit count takes block bytes 56-59 (60-63 stay 0), if the data left them free.
    if (mode->bit_count && length < MD5_LENGTH_OFFSET)
        put_le32(block + MD5_LENGTH_OFFSET, length * 8 + kBitsAhead);
}

void pyxo_finish_digest(const PYXO_HASH_MODE_ROW *mode, uint8_t digest[MD5_DIGEST_SIZE])
{
    if (!mode->add_initial_value)
        return;
    for (uint32_t k = 0; k < 4; k++) {
        uint8_t *word = digest + 4 * k;
        put_le32(word, get_le32(word) + md5_initial_state[k]);
    }
}
