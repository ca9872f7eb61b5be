// The close step shared by Pyxo_CloseDevice and every path of the open.
#ifndef VUXA_DEVICE_RELEASE_H
#define VUXA_DEVICE_RELEASE_H

#include "pyxo.h"

// Gives an attached token back to the driver, closes the driver handle
// when close_handle is set, and marks that no file is selected.  A record
// without the signature is left untouched.
void pyxo_release(PYXO_CONTEXT *context, bool close_handle);

#endif
