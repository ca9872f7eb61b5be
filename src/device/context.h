// What the library knows about a PYXO_CONTEXT as a record: its signature,
// its layout, and the small predicates and updates every subsystem shares.
#ifndef VUXA_DEVICE_CONTEXT_H
#define VUXA_DEVICE_CONTEXT_H

#include <stddef.h>

#include "pyxo.h"
#include "platform/platform.h"

constexpr uint32_t PYXO_CONTEXT_SIGNATURE = 0x4D56515A;
constexpr uint32_t PYXO_CONTEXT_VERSION = 2;
constexpr uint8_t PYXO_NO_FILE_TYPE = 0xFF;
constexpr uint32_t PYXO_WIDE_ID_SIZE = 8;
constexpr uint32_t PYXO_NARROW_ID_SIZE = 4;

// True when the exchange may talk to the driver through this record.
inline bool pyxo_is_usable(const PYXO_CONTEXT *context)
{
    return context->signature == PYXO_CONTEXT_SIGNATURE &&
           context->device_handle != INVALID_HANDLE_VALUE;
}

// The selection mirror's way of saying that no file is selected.
inline void pyxo_mark_no_file_selected(PYXO_CONTEXT *context)
{
    context->current_file_type = PYXO_NO_FILE_TYPE;
    context->current_file_attr = 0;
}

// 32-bit file and directory identifiers; 16-bit ones otherwise.
inline bool pyxo_wide_ids(const PYXO_CONTEXT *context)
{
    return context->id_size == PYXO_WIDE_ID_SIZE;
}

// The record is shared with applications built by other compilers: its
// layout is part of the binary interface.  The handle is pointer-sized, so
// every field after it moves with the pointer width.
constexpr size_t PYXO_HANDLE_SHIFT = sizeof(void *) == 8 ? 8 : 0;
static_assert(sizeof(PYXO_CONTEXT) == 424);
static_assert(offsetof(PYXO_CONTEXT, signature) == 0);
static_assert(offsetof(PYXO_CONTEXT, device_handle) == (sizeof(void *) == 8 ? 8 : 4));
static_assert(offsetof(PYXO_CONTEXT, device_index) == 8 + PYXO_HANDLE_SHIFT);
static_assert(offsetof(PYXO_CONTEXT, flags) == 12 + PYXO_HANDLE_SHIFT);
static_assert(offsetof(PYXO_CONTEXT, context_version) == 16 + PYXO_HANDLE_SHIFT);
static_assert(offsetof(PYXO_CONTEXT, driver_version) == 20 + PYXO_HANDLE_SHIFT);
static_assert(offsetof(PYXO_CONTEXT, descriptor_byte2) == 24 + PYXO_HANDLE_SHIFT);
static_assert(offsetof(PYXO_CONTEXT, descriptor_byte3) == 25 + PYXO_HANDLE_SHIFT);
static_assert(offsetof(PYXO_CONTEXT, model) == 26 + PYXO_HANDLE_SHIFT);
static_assert(offsetof(PYXO_CONTEXT, id_size) == 28 + PYXO_HANDLE_SHIFT);
static_assert(offsetof(PYXO_CONTEXT, capability_param) == 32 + PYXO_HANDLE_SHIFT);
static_assert(offsetof(PYXO_CONTEXT, memory_size) == 36 + PYXO_HANDLE_SHIFT);
static_assert(offsetof(PYXO_CONTEXT, capabilities) == 40 + PYXO_HANDLE_SHIFT);
static_assert(offsetof(PYXO_CONTEXT, serial_number) == 44 + PYXO_HANDLE_SHIFT);
static_assert(offsetof(PYXO_CONTEXT, current_dir_id) == 52 + PYXO_HANDLE_SHIFT);
static_assert(offsetof(PYXO_CONTEXT, current_file_id) == 56 + PYXO_HANDLE_SHIFT);
static_assert(offsetof(PYXO_CONTEXT, current_file_size) == 60 + PYXO_HANDLE_SHIFT);
static_assert(offsetof(PYXO_CONTEXT, current_file_type) == 64 + PYXO_HANDLE_SHIFT);
static_assert(offsetof(PYXO_CONTEXT, current_file_attr) == 65 + PYXO_HANDLE_SHIFT);

static_assert(sizeof(PYXO_FILEINFO) == 16);
static_assert(offsetof(PYXO_FILEINFO, dir_id) == 4 && offsetof(PYXO_FILEINFO, size) == 8);
static_assert(offsetof(PYXO_FILEINFO, type) == 12 && offsetof(PYXO_FILEINFO, access3) == 15);
static_assert(sizeof(PYXO_ACCESS_SETTINGS) == 4);
static_assert(offsetof(PYXO_ACCESS_SETTINGS, octal_low) == 3);
static_assert(sizeof(MD5_CTX) == 104);
static_assert(offsetof(MD5_CTX, state) == 8 && offsetof(MD5_CTX, buffer) == 24);
static_assert(offsetof(MD5_CTX, reserved) == 88);

#endif
