// The search for a token: attach requests from the context's position on.
#ifndef VUXA_DEVICE_SEARCH_H
#define VUXA_DEVICE_SEARCH_H

#include <stdint.h>

#include "pyxo.h"

// Asks the driver to attach devices from the context's device_index on,
// giving back those that are no token, until a token is attached.  On 0
// the token is attached (PYXO_FLAG_ATTACHED) and descriptor holds its
// PYXO_DESCRIPTOR_SIZE bytes.  On failure the record is closed: 6 when no
// device is left, 21 when a token was found that the driver did not attach.
uint32_t pyxo_attach_next_token(PYXO_CONTEXT *context, uint8_t *descriptor);

#endif
