// The calling thread's last system error, as GetLastError reports it.
#ifndef VUXA_PLATFORM_POSIX_LAST_ERROR_H
#define VUXA_PLATFORM_POSIX_LAST_ERROR_H

#include "platform/platform.h"

// Records error for the calling thread.
__attribute__((visibility("hidden"))) void pyxo_set_last_error(DWORD error);

#endif
