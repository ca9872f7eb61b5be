// Pyxo_HashToken: one MD5 block operation on the token.
#include "device/exchange.h"
#include "tokenhash/hash_request.h"
#include "util/wipe.h"

uint32_t pyxo_hash_token(PYXO_CONTEXT *context, uint32_t mode, const uint8_t *data, uint32_t length,
                         uint8_t digest[MD5_DIGEST_SIZE], uint8_t request[PYXO_HASH_REQUEST_SIZE])
{
    const PYXO_HASH_MODE_ROW *row = pyxo_hash_mode(mode);
    if (row == nullptr)
        return PYXO_ERR_INVALID_PARAMETER;
    if (length > row->max_length)
        return PYXO_ERR_DATA_TOO_LONG;
    // The data is in the request before the answer arrives, so digest may
    // be the data buffer itself.
    pyxo_build_hash_request(row, data, length, request);
    const uint32_t status = pyxo_exchange(context, row->command, PYXO_HASH_REQUEST_SIZE, request,
                                          MD5_DIGEST_SIZE, digest);
    if (status == PYXO_OK)
        pyxo_finish_digest(row, digest);
    pyxo_wipe(request, PYXO_HASH_REQUEST_SIZE);
    return status;
}

extern "C" PYXO_API uint32_t PYXO_CALL Pyxo_HashToken(PYXO_CONTEXT *context, uint32_t mode,
                                                      const uint8_t *data, uint32_t length,
                                                      uint8_t digest[16])
{
    uint8_t request[PYXO_HASH_REQUEST_SIZE];
    return pyxo_hash_token(context, mode, data, length, digest, request);
}
