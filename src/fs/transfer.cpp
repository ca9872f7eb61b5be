// Argument checks and chunk headers of reading and writing.
#include "fs/transfer.h"

#include "fs/entry_format.h"
#include "util/bytes.h"

namespace {

// The byte offset at which the last chunk of a transfer starts.  Computed
// in 64 bits: the caller's offset and length may add up past 32.
uint64_t last_chunk_offset(uint32_t offset, uint32_t length, uint32_t chunk_size)
{
    return (uint64_t)offset + (uint64_t)(length - 1) / chunk_size * chunk_size;
}

} // namespace

uint32_t pyxo_check_transfer(const PYXO_CONTEXT *context, uint32_t offset, uint32_t length,
                             uint32_t chunk_size, uint32_t *count)
{
    *count = 0;
    if (pyxo_is_odd(offset) || pyxo_is_odd(length))
        return PYXO_ERR_ODD_LENGTH;
    if (offset > context->memory_size)
        return PYXO_ERR_INVALID_PARAMETER;
    if (length == 0)
        return PYXO_OK;
    // Every chunk's word offset must fit its field, or the token would be
    // sent a position near the start of the file instead.
    if (last_chunk_offset(offset, length, chunk_size) / PYXO_WORD_SIZE > PYXO_WORD_FIELD_MAX)
        return PYXO_ERR_INVALID_PARAMETER;
    return PYXO_OK;
}

void pyxo_put_chunk_header(uint8_t request[PYXO_CHUNK_HEADER_SIZE], uint32_t offset, uint32_t chunk)
{
    put_le16(request, offset / PYXO_WORD_SIZE);
    put_le16(request + 2, chunk / PYXO_WORD_SIZE);
}
