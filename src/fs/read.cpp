// Pyxo_ReadFile: the selected file's data, in chunks of 64 bytes that the
// exchange delivers straight into the caller's buffer.
#include "device/exchange.h"
#include "device/token_commands.h"
#include "fs/transfer.h"

extern "C" PYXO_API uint32_t PYXO_CALL Pyxo_ReadFile(PYXO_CONTEXT *context, void *buffer,
                                                     uint32_t offset, uint32_t length,
                                                     uint32_t *bytes_read)
{
    const uint32_t check =
        pyxo_check_transfer(context, offset, length, PYXO_READ_CHUNK, bytes_read);
    if (check != PYXO_OK)
        return check;
    uint8_t *target = (uint8_t *)buffer;
    while (length > 0) {
        const uint32_t chunk = length < PYXO_READ_CHUNK ? length : PYXO_READ_CHUNK;
        uint8_t request[PYXO_CHUNK_HEADER_SIZE];
        pyxo_put_chunk_header(request, offset, chunk);
        const uint32_t status =
            pyxo_exchange(context, PYXO_CMD_READ_FILE, sizeof request, request, chunk, target);
        if (status != PYXO_OK)
            return status;
        offset += chunk;
        target += chunk;
        length -= chunk;
        *bytes_read += chunk;
    }
    return PYXO_OK;
}
