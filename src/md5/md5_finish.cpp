// The end of a one-shot digest: whole blocks straight from the message,
// then the last one or two blocks built as words, with no MD5_CTX.
#include "md5/md5_internal.h"

void md5_finish(uint32_t state[4], uint32_t prefix_bytes, const uint8_t *data, uint32_t length,
                uint8_t digest[MD5_DIGEST_SIZE])
{
    const uint32_t blocks = length / MD5_BLOCK_SIZE;
    md5_transform_blocks(state, data, blocks);
    const uint8_t *tail = data + blocks * MD5_BLOCK_SIZE;
    const uint32_t tail_length = length % MD5_BLOCK_SIZE;
    const uint64_t bits = ((uint64_t)prefix_bytes + length) << 3;

    uint32_t x[MD5_BLOCK_WORDS];
    md5_load_words(x, tail, tail_length);
    x[tail_length / 4] |= (uint32_t)md5_padding[0] << 8 * (tail_length % 4);
    if (tail_length >= MD5_LENGTH_OFFSET) {
        md5_transform(state, x);
        for (uint32_t i = 0; i < MD5_LENGTH_WORD; i++)
            x[i] = 0;
    }
    x[MD5_LENGTH_WORD] = (uint32_t)bits;
    x[MD5_LENGTH_WORD + 1] = (uint32_t)(bits >> 32);
    md5_transform(state, x);
    md5_encode_state(digest, state);
}
