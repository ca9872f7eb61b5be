// The search loop of the open.  Between attempts the handle stays open;
// only the attachment is given back.
#include "device/search.h"

#include <string.h>

#include "device/context.h"
#include "device/descriptor.h"
#include "device/driver_interface.h"
#include "device/exchange.h"
#include "device/release.h"
#include "util/bytes.h"

namespace {

constexpr uint32_t kAttach = 1;
constexpr uint32_t kNotAttached = 0xFF; // what the driver overwrites with 0 on attach

// One attach request for the device at or after the context's position.
// The driver writes back one past the position it examined; that value is
// stored before anything else is looked at.
uint32_t attach_one(PYXO_CONTEXT *context, uint8_t *block)
{
    memset(block, 0, PYXO_ATTACH_BLOCK_SIZE);
    put_le32(block + PYXO_ATTACH_DEVICE_INDEX, context->device_index);
    put_le32(block + PYXO_ATTACH_ATTACH, kAttach);
    put_le32(block + PYXO_ATTACH_STATUS, kNotAttached);
    uint32_t count = 0;
    const uint32_t result = pyxo_control(context, PYXO_IOCTL_ATTACH, block, PYXO_ATTACH_BLOCK_SIZE,
                                         block, PYXO_ATTACH_BLOCK_SIZE, &count);
    if (result != PYXO_OK)
        return result;
    context->device_index = get_le32(block + PYXO_ATTACH_DEVICE_INDEX);
    return PYXO_OK;
}

} // namespace

uint32_t pyxo_attach_next_token(PYXO_CONTEXT *context, uint8_t *descriptor)
{
    uint8_t block[PYXO_ATTACH_BLOCK_SIZE];
    for (;;) {
        if (attach_one(context, block) != PYXO_OK) {
            pyxo_release(context, true);
            return PYXO_ERR_NO_DEVICE;
        }
        const bool attached = get_le32(block + PYXO_ATTACH_STATUS) == 0;
        const bool token = pyxo_descriptor_qualifies(block + PYXO_ATTACH_DESCRIPTOR);
        if (attached)
            context->flags |= PYXO_FLAG_ATTACHED;
        if (attached && token) {
            memcpy(descriptor, block + PYXO_ATTACH_DESCRIPTOR, PYXO_DESCRIPTOR_SIZE);
            return PYXO_OK;
        }
        if (token) {
            pyxo_release(context, true);
            return PYXO_ERR_DEVICE_21;
        }
        pyxo_release(context, false); // no token: give it back, try the next position
    }
}
