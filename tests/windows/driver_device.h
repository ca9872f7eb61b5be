// The virtual token's kernel driver as the Windows tests reach it: a raw
// handle on \\.\VUXADRVR for I/O controls, and fresh tokens made by the
// driver core in this process and inserted through the management controls.
#ifndef VUXA_TESTS_WINDOWS_DRIVER_DEVICE_H
#define VUXA_TESTS_WINDOWS_DRIVER_DEVICE_H

#include <windows.h>

#include <cstdint>
#include <vector>

#include "vtd.h"

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
    // One control; returned starts as initial_returned, so a test sees
    // whether DeviceIoControl wrote it.
    Reply control(DWORD code, const Bytes &in, DWORD out_size, DWORD initial_returned = 0);
    // Closes the handle, as an application that exits without closing.
    void close();

private:
    HANDLE handle_;
};

// Test tokens: 4096 words of memory, PIN 0x31323334, master key
// "KEY-0123"; the file system may be changed after the PIN.
vtd_token_params token_params(uint8_t model, uint8_t serial_seed);

// Puts a new token at a position (replacing what was there) through the
// management insert control; returns the control's Win32 error or 0.
DWORD insert_token(const vtd_token_params &params, uint32_t position);
// Empties a position through the management remove control.
DWORD remove_position(uint32_t position);
// Empties every position.
void remove_all_positions();

} // namespace vuxa_windows_test

#endif
