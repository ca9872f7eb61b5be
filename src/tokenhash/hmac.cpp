// Pyxo_HMAC_MD5: HMAC-MD5 (RFC 2104) with a key that stays on the token.
// The inner key file stands for MD5's chaining value after the block
// K0 XOR 0x36, the outer one for the value after K0 XOR 0x5C; each hash in
// keyed mode ends the MD5 message that its file's block began.
#include "tokenhash/hash_request.h"

namespace {

// The longest message whose end marker and 8-byte bit count still fit in
// the same block: 55 + 1 + 8 = 64.
constexpr int32_t kMaxMessage = 55;

} // namespace

extern "C" PYXO_API uint32_t PYXO_CALL Pyxo_HMAC_MD5(PYXO_CONTEXT *context, uint32_t inner_dir_id,
                                                     uint32_t inner_file_id, uint32_t outer_dir_id,
                                                     uint32_t outer_file_id, const uint8_t *data,
                                                     int32_t length, uint8_t digest[16])
{
    // A negative length is no message length at all, not one above the
    // limit: refused as an invalid argument before anything is selected.
    if (length < 0)
        return PYXO_ERR_INVALID_PARAMETER;
    if (length > kMaxMessage)
        return PYXO_ERR_DATA_TOO_LONG;
    uint32_t status = Pyxo_SelectFile(context, inner_dir_id, inner_file_id);
    if (status != PYXO_OK)
        return status;
    status = Pyxo_HashToken(context, PYXO_HASH_MODE_KEYED, data, (uint32_t)length, digest);
    if (status != PYXO_OK)
        return status;
    status = Pyxo_SelectFile(context, outer_dir_id, outer_file_id);
    if (status != PYXO_OK)
        return status;
    // The inner hash is copied into the request before the outer result
    // replaces it in the same buffer.
    return Pyxo_HashToken(context, PYXO_HASH_MODE_KEYED, digest, MD5_DIGEST_SIZE, digest);
}
