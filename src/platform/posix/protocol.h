// The driver socket protocol as the stand-in speaks it: one Unix stream
// connection per handle, one request frame and one response frame per
// DeviceIoControl, every field little-endian.
#ifndef VUXA_PLATFORM_POSIX_PROTOCOL_H
#define VUXA_PLATFORM_POSIX_PROTOCOL_H

#include <stdint.h>

constexpr uint32_t PYXO_FRAME_MAGIC = 0x31445856; // "VXD1"

// Request header: magic, code, in_size, out_size; then in_size bytes.
enum : uint32_t {
    PYXO_REQUEST_MAGIC = 0,
    PYXO_REQUEST_CODE = 4,
    PYXO_REQUEST_IN_SIZE = 8,
    PYXO_REQUEST_OUT_SIZE = 12,
    PYXO_REQUEST_HEADER_SIZE = 16,
};

// Response header: magic, error, returned; then returned bytes.
enum : uint32_t {
    PYXO_RESPONSE_MAGIC = 0,
    PYXO_RESPONSE_ERROR = 4,
    PYXO_RESPONSE_RETURNED = 8,
    PYXO_RESPONSE_HEADER_SIZE = 12,
};

// Largest input or output either side accepts.
constexpr uint32_t PYXO_FRAME_MAX_DATA = 1u << 20;

// Longest device name after the "\\.\" prefix.
constexpr uint32_t PYXO_DEVICE_NAME_MAX = 64;

#endif
