// The incremental interface of RFC 1321 over the caller's MD5_CTX.
#include "md5/md5_internal.h"
#include "util/bytes.h"

const uint32_t md5_initial_state[4] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476};

const uint8_t md5_padding[MD5_BLOCK_SIZE] = {0x80};

namespace {

// Number of bytes waiting in buffer, read from the bit count.
uint32_t pending_bytes(const MD5_CTX *context)
{
    return (context->count[0] >> 3) % MD5_BLOCK_SIZE;
}

} // namespace

void md5_add_to_count(uint32_t count[2], uint32_t length)
{
    const uint32_t low = count[0] + (length << 3);
    if (low < count[0])
        count[1]++;
    count[0] = low;
    count[1] += length >> 29;
}

extern "C" PYXO_API void PYXO_CALL MD5Init(MD5_CTX *context)
{
    context->count[0] = 0;
    context->count[1] = 0;
    for (int i = 0; i < 4; i++)
        context->state[i] = md5_initial_state[i];
}

// Whole blocks of input are compressed where they lie; only the bytes that
// complete the pending block or remain at the end pass through buffer.
extern "C" PYXO_API void PYXO_CALL MD5Update(MD5_CTX *context, const uint8_t *input,
                                             uint32_t input_length)
{
    if (input_length == 0)
        return;
    const uint32_t index = pending_bytes(context);
    md5_add_to_count(context->count, input_length);
    const uint32_t room = MD5_BLOCK_SIZE - index;
    if (input_length < room) {
        __builtin_memcpy(context->buffer + index, input, input_length);
        return;
    }
    if (index != 0) {
        __builtin_memcpy(context->buffer + index, input, room);
        md5_transform_blocks(context->state, context->buffer, 1);
        input += room;
        input_length -= room;
    }
    const uint32_t blocks = input_length / MD5_BLOCK_SIZE;
    md5_transform_blocks(context->state, input, blocks);
    const uint32_t rest = input_length % MD5_BLOCK_SIZE;
    if (rest != 0)
        __builtin_memcpy(context->buffer, input + blocks * MD5_BLOCK_SIZE, rest);
}

// The padding goes through MD5Update, so count and buffer end as after
// any other update: count includes it and buffer holds 56 bytes.  The bit
// count then goes into the last eight bytes of buffer, which are not
// pending, and the block is compressed where it lies.
extern "C" PYXO_API void PYXO_CALL MD5Final(uint8_t digest[16], MD5_CTX *context)
{
    const uint32_t bits_low = context->count[0];
    const uint32_t bits_high = context->count[1];
    const uint32_t index = pending_bytes(context);
    const uint32_t pad_length = index < MD5_LENGTH_OFFSET
                                    ? MD5_LENGTH_OFFSET - index
                                    : MD5_BLOCK_SIZE + MD5_LENGTH_OFFSET - index;
    MD5Update(context, md5_padding, pad_length);
    put_le32(context->buffer + MD5_LENGTH_OFFSET, bits_low);
    put_le32(context->buffer + MD5_LENGTH_OFFSET + 4, bits_high);
    md5_transform_blocks(context->state, context->buffer, 1);
    md5_encode_state(digest, context->state);
}
