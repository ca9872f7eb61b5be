// The token driver's interface: its device path, its I/O control codes and
// the layouts of the blocks that travel through them.  Blocks are handled
// as byte arrays at these offsets, all fields little-endian.
#ifndef VUXA_DEVICE_DRIVER_INTERFACE_H
#define VUXA_DEVICE_DRIVER_INTERFACE_H

#include <stdint.h>

#define PYXO_DRIVER_PATH "\\\\.\\VUXADRVR"

// CTL_CODE(FILE_DEVICE_UNKNOWN, function, METHOD_BUFFERED, FILE_ANY_ACCESS)
constexpr uint32_t pyxo_ioctl_code(uint32_t function)
{
    return (0x22u << 16) | (function << 2);
}

enum : uint32_t {
    PYXO_IOCTL_GET_VERSION = pyxo_ioctl_code(0x100), // 0x220400
    PYXO_IOCTL_ATTACH = pyxo_ioctl_code(0x101),      // 0x220404
    PYXO_IOCTL_RELEASE = pyxo_ioctl_code(0x102),     // 0x220408
    PYXO_IOCTL_COMMAND = pyxo_ioctl_code(0x103),     // 0x22040C
};

// Oldest driver the library works with.
constexpr uint32_t PYXO_MIN_DRIVER_VERSION = 0x100;

// PYXO_ATTACH_BLOCK
enum : uint32_t {
    PYXO_ATTACH_DEVICE_INDEX = 0,
    PYXO_ATTACH_ATTACH = 4,
    PYXO_ATTACH_STATUS = 12,
    PYXO_ATTACH_DESCRIPTOR = 16,
    PYXO_DESCRIPTOR_SIZE = 32,
    PYXO_ATTACH_BLOCK_SIZE = 48,
};

// PYXO_COMMAND_BLOCK
enum : uint32_t {
    PYXO_COMMAND_DEVICE_INDEX = 0,
    PYXO_COMMAND_PARAM1 = 8,
    PYXO_COMMAND_PARAM2 = 10,
    PYXO_COMMAND_CODE = 12,
    PYXO_COMMAND_PAYLOAD_LENGTH = 14,
    PYXO_COMMAND_PAYLOAD = 16,
    PYXO_PAYLOAD_CAPACITY = 256,
    PYXO_COMMAND_BLOCK_SIZE = 272,
    // The two parameter words carry request bytes 0-3, the payload the rest.
    PYXO_MAX_REQUEST = 4 + PYXO_PAYLOAD_CAPACITY,
};

#endif
