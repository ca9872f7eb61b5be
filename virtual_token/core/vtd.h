/*
 * vtd.h - the virtual token driver core, as a C interface.
 *
 * The core is the driver and its tokens in freestanding code: no heap, no
 * threads, no I/O, fixed-size state in memory the host provides.  Hosts
 * wrap it with a transport: vuxad serves it over the driver socket
 * protocol; the Windows kernel driver serves it through DeviceIoControl.
 * Both hand every I/O control of a handle to vtd_control unchanged, the
 * library's four (version, attach, release, command) and the management
 * ones (function codes from 0x800), so the same tools work over both.
 *
 * The host serialises calls: one call at a time per vtd_driver.
 */
#ifndef VTD_H
#define VTD_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct vtd_driver vtd_driver;

/* Fills out with n random bytes (challenges, new serial numbers). */
typedef void (*vtd_random_fn)(void *random_context, uint8_t *out, size_t n);

/* Bytes of memory a vtd_driver needs; the host allocates them, aligned to 8. */
size_t vtd_driver_size(void);

/* Makes an empty driver (no device at any position) in that memory. */
void vtd_driver_init(vtd_driver *driver, vtd_random_fn random, void *random_context);

/* A new handle (one per opened device file or connection).  Returns 0 and
 * the handle, or a nonzero Win32 error when the handle table is full. */
uint32_t vtd_open_handle(vtd_driver *driver, uint32_t *handle);

/* Closes a handle, releasing whatever it had attached. */
void vtd_close_handle(vtd_driver *driver, uint32_t handle);

/* One I/O control on a handle.  Returns 0 with *returned the bytes written
 * to out (at most out_size), or the Win32 error the call fails with
 * (*returned then 0).  in and out may be the same buffer (METHOD_BUFFERED
 * hands drivers one system buffer): every input is read before any output
 * is written. */
uint32_t vtd_control(vtd_driver *driver, uint32_t handle, uint32_t code, const uint8_t *in,
                     uint32_t in_size, uint8_t *out, uint32_t out_size, uint32_t *returned);

/* Bit mask of the positions whose device changed (token memory, credentials,
 * counters, insert, remove) since the last call; clears the mask.  Hosts that
 * persist tokens save those positions' images. */
uint32_t vtd_take_changed(vtd_driver *driver);

/* Token images: the versioned, checksummed byte form of one token, the same
 * as the management export and import controls carry. */

/* The largest image any token can have. */
uint32_t vtd_max_image_size(void);

/* Writes the image of the token at a position; returns its size, or 0 when
 * there is no token there or out_size is too small. */
uint32_t vtd_export_image(vtd_driver *driver, uint32_t position, uint8_t *out,
                          uint32_t out_size);

/* Puts the token of an image at a position, replacing what was there.
 * Returns 0, or a nonzero error code for a damaged or unusable image that
 * vtd_image_error_text names; nothing changes then. */
uint32_t vtd_import_image(vtd_driver *driver, uint32_t position, const uint8_t *image,
                          uint32_t size);

/* What an error code of vtd_import_image means, in words. */
const char *vtd_image_error_text(uint32_t error);

/* The error codes of vtd_import_image, vtd_check_image and vtd_new_token. */
enum {
    VTD_IMAGE_OK = 0,
    VTD_IMAGE_TRUNCATED = 1,         /* shorter than its header or its stated size */
    VTD_IMAGE_BAD_MAGIC = 2,         /* not a token image */
    VTD_IMAGE_UNKNOWN_VERSION = 3,   /* a format version this core does not read */
    VTD_IMAGE_BAD_SIZE = 4,          /* stated size and byte count disagree */
    VTD_IMAGE_BAD_CHECKSUM = 5,      /* damaged: the checksum does not match */
    VTD_IMAGE_BAD_HEADER = 6,        /* header fields out of range or inconsistent */
    VTD_IMAGE_BAD_DESCRIPTOR = 7,    /* descriptor is no token's (length, model, memory) */
    VTD_IMAGE_BAD_CREDENTIALS = 8,   /* settings or credential block out of range */
    VTD_IMAGE_BAD_ENTRY = 9,         /* a directory or file record out of range */
    VTD_IMAGE_DUPLICATE_ENTRY = 10,  /* two records with the same identifiers */
    VTD_IMAGE_MISSING_DIRECTORY = 11, /* a file in a directory that does not exist */
    VTD_IMAGE_OVER_CAPACITY = 12,    /* entries exceed their directory or the memory */
    VTD_IMAGE_BAD_POSITION = 13      /* no such position */
};

/* Checks an image as vtd_import_image would, without a driver.  Returns 0
 * or the error code. */
uint32_t vtd_check_image(const uint8_t *image, uint32_t size);

/* A new token, as a factory makes it: empty file system, the given
 * credentials and settings (settings byte 0: bits 2-0 the condition for
 * changing the file system, bits 5-3 for changing the PIN; byte 1: bits 3-0
 * the PIN's try limit, bits 7-4 the master key's).  docs/virtual-token.md
 * lists the defaults tools use. */
typedef struct vtd_token_params {
    uint8_t model;         /* 0x40 to 0x5F; below 0x50 16-bit identifiers */
    uint16_t memory_words; /* 64 to 0xFFFF */
    uint8_t serial[8];
    uint32_t pin;
    uint8_t master_key[8];
    uint8_t settings[2];
} vtd_token_params;

/* Puts a new token at a position, replacing what was there.  Returns 0, or
 * VTD_IMAGE_BAD_POSITION, VTD_IMAGE_BAD_DESCRIPTOR (model, memory) or
 * VTD_IMAGE_BAD_CREDENTIALS (settings). */
uint32_t vtd_new_token(vtd_driver *driver, uint32_t position, const vtd_token_params *params);

/* Puts a device that is no virtual token at a position (for tests): it
 * attaches with this 32-byte descriptor and answers no command.  Returns 0
 * or VTD_IMAGE_BAD_POSITION. */
uint32_t vtd_insert_device(vtd_driver *driver, uint32_t position, const uint8_t descriptor[32]);

/* Empties a position.  Returns 0, or VTD_IMAGE_BAD_POSITION. */
uint32_t vtd_remove(vtd_driver *driver, uint32_t position);

#ifdef __cplusplus
}
#endif

#endif
