// One driver I/O control, with the system error translated.
#include "device/exchange.h"
#include "platform/platform.h"

namespace {

struct SystemErrorStatus {
    DWORD error;
    uint32_t status;
};

// System errors that have a status of their own; every other one is an
// I/O failure.
constexpr SystemErrorStatus kSystemErrorStatus[] = {
    {ERROR_ACCESS_DENIED, PYXO_ERR_ACCESS_DENIED},
    {ERROR_INVALID_HANDLE, PYXO_ERR_INVALID_HANDLE},
    {ERROR_INVALID_PARAMETER, PYXO_ERR_INVALID_PARAMETER},
};

uint32_t status_of_system_error(DWORD error)
{
    for (const SystemErrorStatus &entry : kSystemErrorStatus) {
        if (entry.error == error)
            return entry.status;
    }
    return PYXO_ERR_IO;
}

} // namespace

uint32_t pyxo_control(PYXO_CONTEXT *context, uint32_t control_code, const void *input,
                      uint32_t input_size, void *output, uint32_t output_size,
                      uint32_t *bytes_returned)
{
    // The Win32 prototype takes a non-const input buffer; the driver only
    // reads it.
    if (DeviceIoControl(context->device_handle, control_code, const_cast<void *>(input),
                        input_size, output, output_size, bytes_returned, nullptr))
        return PYXO_OK;
    return status_of_system_error(GetLastError());
}
