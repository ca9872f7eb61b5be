// A kernel whose every answer the fuzz input decides, linked into the
// token_calls target in place of the library's POSIX stand-in: CreateFileA,
// DeviceIoControl, CloseHandle and GetLastError fail with any system error
// or succeed with any byte count up to the size offered, and any bytes.
// Besides answering, it checks what the library asks of it: the right
// device, known control codes with their block sizes, buffers as large as
// claimed, no use of a handle after closing it and no handle closed twice.
#ifndef VUXA_FUZZ_FAKE_KERNEL_H
#define VUXA_FUZZ_FAKE_KERNEL_H

#include <cstddef>
#include <cstdint>

#include "fuzz_input.h"
#include "platform/platform.h"
#include "pyxo.h"

namespace fake_kernel {

// How the last DeviceIoControl ended.
struct LastControl {
    uint32_t code = 0;
    bool succeeded = false;
    uint32_t count = 0; // bytes written to the output buffer
};

// Starts a run: answers come from input; context is the record the library
// works on (its device_index must be in every block).  foreign is a handle
// value the record held before the run, which the kernel never issues.
void begin(FuzzInput *input, const PYXO_CONTEXT *context, HANDLE foreign);

unsigned controls();       // DeviceIoControl calls in this run
unsigned commands();       // of which PYXO_IOCTL_COMMAND
unsigned driver_opens();   // CreateFileA calls
const LastControl &last_control();

// Handles issued and not yet closed.
size_t open_handles();
bool is_open(HANDLE handle);

} // namespace fake_kernel

#endif
