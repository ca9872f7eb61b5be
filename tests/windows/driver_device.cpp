#include "driver_device.h"

namespace vuxa_windows_test {

DriverDevice::DriverDevice()
    : handle_(CreateFileA("\\\\.\\VUXADRVR", GENERIC_READ | GENERIC_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr))
{
}

DriverDevice::~DriverDevice() { close(); }

void DriverDevice::close()
{
    if (handle_ != INVALID_HANDLE_VALUE)
        CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
}

Reply DriverDevice::control(DWORD code, const Bytes &in, DWORD out_size, DWORD initial_returned)
{
    Reply reply;
    reply.output.assign(out_size, 0xEE);
    reply.returned = initial_returned;
    Bytes input = in; // the call takes a writable buffer
    reply.ok = DeviceIoControl(handle_, code, input.empty() ? nullptr : input.data(),
                               DWORD(input.size()), out_size ? reply.output.data() : nullptr,
                               out_size, &reply.returned, nullptr) != FALSE;
    reply.error = reply.ok ? 0 : GetLastError();
    return reply;
}

} // namespace vuxa_windows_test
