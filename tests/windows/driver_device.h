// A raw handle on the virtual token's kernel driver (\\.\VUXADRVR), for the
// Windows tests that look at what DeviceIoControl itself does.
#ifndef VUXA_TESTS_WINDOWS_DRIVER_DEVICE_H
#define VUXA_TESTS_WINDOWS_DRIVER_DEVICE_H

#include <windows.h>

#include <cstdint>
#include <vector>

namespace vuxa_windows_test {

using Bytes = std::vector<uint8_t>;

// The result of one DeviceIoControl.
struct Reply {
    bool ok = false;
    DWORD error = 0;    // GetLastError() after a failure
    DWORD returned = 0; // the byte count as DeviceIoControl left it
    Bytes output;       // the output buffer, out_size bytes
};

class DriverDevice {
public:
    DriverDevice();
    ~DriverDevice();
    DriverDevice(const DriverDevice &) = delete;
    DriverDevice &operator=(const DriverDevice &) = delete;

    bool is_open() const { return handle_ != INVALID_HANDLE_VALUE; }
    // One control.  The output buffer starts as 0xEE bytes and the byte
    // count as initial_returned, so a test sees what DeviceIoControl wrote.
    Reply control(DWORD code, const Bytes &in, DWORD out_size, DWORD initial_returned = 0);
    // Closes the handle, as an application that exits without closing.
    void close();

private:
    HANDLE handle_;
};

} // namespace vuxa_windows_test

#endif
