// Pyxo_CloseDevice: the token goes back to the driver and the handle is
// closed.  Nothing can fail that the caller could act on.
#include "device/release.h"

uint32_t PYXO_CALL Pyxo_CloseDevice(PYXO_CONTEXT *context)
{
    pyxo_release(context, true);
    return PYXO_OK;
}
