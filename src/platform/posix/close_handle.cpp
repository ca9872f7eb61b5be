// CloseHandle: ends the connection; the driver then gives back whatever the
// handle had attached.
#include <errno.h>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/posix/handle.h"
#include "platform/posix/last_error.h"

BOOL CloseHandle(HANDLE object)
{
    const int fd = pyxo_fd_from_handle(object);
    // On Linux the descriptor is gone even when close reports EINTR.
    if (fd < 0 || (close(fd) != 0 && errno == EBADF)) {
        pyxo_set_last_error(ERROR_INVALID_HANDLE);
        return 0;
    }
    return 1;
}
