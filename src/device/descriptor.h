// The token descriptor that the driver returns on attach.
#ifndef VUXA_DEVICE_DESCRIPTOR_H
#define VUXA_DEVICE_DESCRIPTOR_H

#include <stdint.h>

#include "pyxo.h"

// Whether a device's descriptor (PYXO_DESCRIPTOR_SIZE bytes) is a token's:
// 8 to 32 bytes long, model 0x40 to 0x5F.
bool pyxo_descriptor_qualifies(const uint8_t *descriptor);

// Decodes a qualifying descriptor into the context: model, the two stored
// bytes, memory size, capabilities, identifier width, capability
// parameter.  Bytes past the descriptor's length are cleared first, so
// they read as 0.
void pyxo_decode_descriptor(PYXO_CONTEXT *context, uint8_t *descriptor);

#endif
