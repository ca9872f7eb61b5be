// DeviceIoControl: one request frame out, one response frame back.  The
// caller's input goes straight from its buffer to the socket and the
// driver's output straight into the caller's buffer: no copy of either is
// made here, so nothing the caller sends (a PIN, a key) stays behind in our
// stack memory.
#include <sys/socket.h>
#include <sys/uio.h>

#include "platform/platform.h"
#include "platform/posix/handle.h"
#include "platform/posix/last_error.h"
#include "platform/posix/protocol.h"
#include "platform/posix/socket_io.h"
#include "util/bytes.h"

namespace {

struct Response {
    DWORD error;
    DWORD returned;
};

BOOL fail(DWORD error)
{
    pyxo_set_last_error(error);
    return 0;
}

DWORD link_error(PyxoLink link)
{
    return link == PYXO_LINK_NOT_OURS ? ERROR_INVALID_HANDLE : ERROR_GEN_FAILURE;
}

// Overlapped calls are not offered; sizes above the frame limit are refused
// by both sides of the protocol.
bool arguments_valid(const void *in_buffer, DWORD in_size, const void *out_buffer,
                     DWORD out_size, const void *overlapped)
{
    return overlapped == nullptr && in_size <= PYXO_FRAME_MAX_DATA &&
           out_size <= PYXO_FRAME_MAX_DATA && (in_size == 0 || in_buffer != nullptr) &&
           (out_size == 0 || out_buffer != nullptr);
}

PyxoLink send_request(int fd, DWORD code, void *in_buffer, DWORD in_size, DWORD out_size)
{
    uint8_t header[PYXO_REQUEST_HEADER_SIZE];
    put_le32(header + PYXO_REQUEST_MAGIC, PYXO_FRAME_MAGIC);
    put_le32(header + PYXO_REQUEST_CODE, code);
    put_le32(header + PYXO_REQUEST_IN_SIZE, in_size);
    put_le32(header + PYXO_REQUEST_OUT_SIZE, out_size);
    struct iovec parts[2] = {{header, sizeof header}, {in_buffer, in_size}};
    return pyxo_send_all(fd, parts, in_size > 0 ? 2 : 1);
}

// Reads and checks the response header.  A wrong magic, more output than
// was offered, or output along with an error is a malformed response.
PyxoLink receive_header(int fd, DWORD out_size, Response *response)
{
    uint8_t header[PYXO_RESPONSE_HEADER_SIZE];
    const PyxoLink link = pyxo_receive_all(fd, header, sizeof header);
    if (link != PYXO_LINK_OK)
        return link;
    response->error = get_le32(header + PYXO_RESPONSE_ERROR);
    response->returned = get_le32(header + PYXO_RESPONSE_RETURNED);
    const bool well_formed = get_le32(header + PYXO_RESPONSE_MAGIC) == PYXO_FRAME_MAGIC &&
                             response->returned <= out_size &&
                             (response->error == ERROR_SUCCESS || response->returned == 0);
    return well_formed ? PYXO_LINK_OK : PYXO_LINK_BROKEN;
}

PyxoLink transact(int fd, DWORD code, void *in_buffer, DWORD in_size, void *out_buffer,
                  DWORD out_size, Response *response)
{
    PyxoLink link = send_request(fd, code, in_buffer, in_size, out_size);
    if (link == PYXO_LINK_OK)
        link = receive_header(fd, out_size, response);
    if (link == PYXO_LINK_OK)
        link = pyxo_receive_all(fd, out_buffer, response->returned);
    return link;
}

} // namespace

BOOL DeviceIoControl(HANDLE device, DWORD control_code, void *in_buffer, DWORD in_size,
                     void *out_buffer, DWORD out_size, DWORD *bytes_returned, void *overlapped)
{
    if (bytes_returned != nullptr)
        *bytes_returned = 0;
    const int fd = pyxo_fd_from_handle(device);
    if (fd < 0)
        return fail(ERROR_INVALID_HANDLE);
    if (!arguments_valid(in_buffer, in_size, out_buffer, out_size, overlapped))
        return fail(ERROR_INVALID_PARAMETER);
    Response response = {};
    const PyxoLink link =
        transact(fd, control_code, in_buffer, in_size, out_buffer, out_size, &response);
    if (link == PYXO_LINK_BROKEN)
        shutdown(fd, SHUT_RDWR); // out of step with the driver: unusable from now on
    if (link != PYXO_LINK_OK)
        return fail(link_error(link));
    if (response.error != ERROR_SUCCESS)
        return fail(response.error);
    if (bytes_returned != nullptr)
        *bytes_returned = response.returned;
    return 1;
}
