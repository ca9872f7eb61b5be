// Changing the master key, with the request in a buffer the caller names so
// that the wipe of the request can be observed.
#ifndef VUXA_AUTH_MASTER_KEY_H
#define VUXA_AUTH_MASTER_KEY_H

#include <stdint.h>

#include "pyxo.h"

constexpr uint32_t PYXO_MASTER_KEY_SIZE = 8;
constexpr uint32_t PYXO_MODIFY_MASTER_KEY_REQUEST_SIZE = 4 + PYXO_MASTER_KEY_SIZE;

// Sends the settings command that installs master_key, building its request
// in request; the request holds only zeros afterwards, whatever the status.
uint32_t pyxo_modify_master_key(PYXO_CONTEXT *context, const uint8_t master_key[8],
                                uint8_t request[PYXO_MODIFY_MASTER_KEY_REQUEST_SIZE]);

#endif
