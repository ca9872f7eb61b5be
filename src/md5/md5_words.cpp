// Conversions between bytes and the little-endian words MD5 works on.
#include "md5/md5_internal.h"
#include "util/bytes.h"

void md5_load_words(uint32_t x[MD5_BLOCK_WORDS], const uint8_t *bytes, uint32_t length)
{
    const uint32_t whole = length / 4;
    uint32_t i = 0;
    for (; i < whole; i++)
        x[i] = get_le32(bytes + 4 * i);
    if (i == MD5_BLOCK_WORDS)
        return;
    uint32_t last = 0;
    for (uint32_t j = length % 4; j-- > 0;)
        last = last << 8 | bytes[4 * whole + j];
    x[i++] = last;
    for (; i < MD5_BLOCK_WORDS; i++)
        x[i] = 0;
}

void md5_encode_state(uint8_t out[MD5_DIGEST_SIZE], const uint32_t state[4])
{
    for (int i = 0; i < 4; i++)
        put_le32(out + 4 * i, state[i]);
}
