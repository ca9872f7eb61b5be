// CreateFileA: one connection to the driver's socket is one open handle.
// Access, sharing and disposition are the driver's business: a device is
// always opened as it exists.
#include <errno.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/posix/device_path.h"
#include "platform/posix/handle.h"
#include "platform/posix/last_error.h"

namespace {

DWORD open_error(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return ERROR_ACCESS_DENIED;
    case ENOENT:
    case ENOTDIR:
    case ECONNREFUSED: // a socket file that nobody serves
    case ENAMETOOLONG:
    case ELOOP:
        return ERROR_FILE_NOT_FOUND;
    default:
        return ERROR_GEN_FAILURE;
    }
}

// 0 once connected, else the errno value.  A connect interrupted by a
// signal is simply tried again; the second try may find it done.
int connect_socket(int fd, const struct sockaddr_un *address)
{
    for (;;) {
        if (connect(fd, (const struct sockaddr *)address, sizeof *address) == 0)
            return 0;
        if (errno == EISCONN)
            return 0;
        if (errno != EINTR)
            return errno;
    }
}

HANDLE fail(DWORD error)
{
    pyxo_set_last_error(error);
    return INVALID_HANDLE_VALUE;
}

} // namespace

HANDLE CreateFileA(const char *file_name, DWORD, DWORD, void *, DWORD, DWORD, HANDLE)
{
    struct sockaddr_un address;
    if (!pyxo_device_address(file_name, &address))
        return fail(ERROR_FILE_NOT_FOUND);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return fail(open_error(errno));
    const int error = connect_socket(fd, &address);
    if (error != 0) {
        close(fd);
        return fail(open_error(error));
    }
    return pyxo_handle_from_fd(fd);
}
