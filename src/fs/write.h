// Writing the selected file, with the request buffer exposed so that its
// wipe can be checked from outside.
#ifndef VUXA_FS_WRITE_H
#define VUXA_FS_WRITE_H

#include <stdint.h>

#include "fs/transfer.h"
#include "pyxo.h"

constexpr uint32_t PYXO_WRITE_REQUEST_SIZE = PYXO_CHUNK_HEADER_SIZE + PYXO_WRITE_CHUNK; // 80

// The work of Pyxo_WriteFile, building every chunk in request.  Once
// anything may have been copied into request, all of it is zero again
// when this returns.
uint32_t pyxo_write_file(PYXO_CONTEXT *context, const uint8_t *data, uint32_t offset,
                         uint32_t length, uint32_t *bytes_written,
                         uint8_t request[PYXO_WRITE_REQUEST_SIZE]);

#endif
