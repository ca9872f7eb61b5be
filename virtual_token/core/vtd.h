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
 * (*returned then 0). */
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

#ifdef __cplusplus
}
#endif

#endif
