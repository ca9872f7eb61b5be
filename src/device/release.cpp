// The close step.
#include "device/release.h"

#include "device/context.h"
#include "device/driver_interface.h"
#include "device/exchange.h"
#include "platform/platform.h"
#include "util/bytes.h"

namespace {

// The driver's answer changes nothing: the token is given up either way.
void send_release(PYXO_CONTEXT *context)
{
    uint8_t block[PYXO_ATTACH_BLOCK_SIZE] = {};
    put_le32(block + PYXO_ATTACH_DEVICE_INDEX, context->device_index);
    put_le32(block + PYXO_ATTACH_ATTACH, 0);
    uint32_t count = 0;
    pyxo_control(context, PYXO_IOCTL_RELEASE, block, sizeof block, nullptr, 0, &count);
}

} // namespace

void pyxo_release(PYXO_CONTEXT *context, bool close_handle)
{
    if (context->signature != PYXO_CONTEXT_SIGNATURE)
        return;
    if (context->device_handle != INVALID_HANDLE_VALUE) {
        if ((context->flags & PYXO_FLAG_ATTACHED) != 0) {
            send_release(context);
            context->flags &= ~PYXO_FLAG_ATTACHED;
        }
        if (close_handle) {
            CloseHandle(context->device_handle);
            context->device_handle = INVALID_HANDLE_VALUE;
        }
    }
    pyxo_mark_no_file_selected(context);
}
