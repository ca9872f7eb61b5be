// Pyxo_WriteFile: data to the selected file, in chunks of 76 bytes, each
// after a 4-byte header in one request buffer that is wiped at the end.
#include "fs/write.h"

#include <string.h>

#include "device/exchange.h"
#include "device/token_commands.h"
#include "util/wipe.h"

namespace {

uint32_t send_chunks(PYXO_CONTEXT *context, const uint8_t *data, uint32_t offset, uint32_t length,
                     uint32_t *bytes_written, uint8_t request[PYXO_WRITE_REQUEST_SIZE])
{
    while (length > 0) {
        const uint32_t chunk = length < PYXO_WRITE_CHUNK ? length : PYXO_WRITE_CHUNK;
        pyxo_put_chunk_header(request, offset, chunk);
        memcpy(request + PYXO_CHUNK_HEADER_SIZE, data, chunk);
        const uint32_t status = pyxo_exchange_status(context, PYXO_CMD_WRITE_FILE,
                                                     PYXO_CHUNK_HEADER_SIZE + chunk, request);
        if (status != PYXO_OK)
            return status;
        data += chunk;
        offset += chunk;
        length -= chunk;
        *bytes_written += chunk;
    }
    return PYXO_OK;
}

} // namespace

uint32_t pyxo_write_file(PYXO_CONTEXT *context, const uint8_t *data, uint32_t offset,
                         uint32_t length, uint32_t *bytes_written,
                         uint8_t request[PYXO_WRITE_REQUEST_SIZE])
{
    const uint32_t check =
        pyxo_check_transfer(context, offset, length, PYXO_WRITE_CHUNK, bytes_written);
    if (check != PYXO_OK)
        return check; // nothing copied yet
    const uint32_t status = send_chunks(context, data, offset, length, bytes_written, request);
    // The data may be a secret (key files); no copy of it stays behind.
    pyxo_wipe(request, PYXO_WRITE_REQUEST_SIZE);
    return status;
}

extern "C" PYXO_API uint32_t PYXO_CALL Pyxo_WriteFile(PYXO_CONTEXT *context, const void *data,
                                                      uint32_t offset, uint32_t length,
                                                      uint32_t *bytes_written)
{
    uint8_t request[PYXO_WRITE_REQUEST_SIZE];
    return pyxo_write_file(context, (const uint8_t *)data, offset, length, bytes_written, request);
}
