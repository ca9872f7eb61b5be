/*
 * vtd_manage.h - the management I/O controls of the virtual token driver.
 *
 * They travel like the library's four controls, on any handle of the
 * driver device, so the same tools work over every transport.  Codes are
 * CTL_CODE(FILE_DEVICE_UNKNOWN, 0x800 + n, METHOD_BUFFERED,
 * FILE_ANY_ACCESS); every field is little-endian.  docs/virtual-token.md
 * describes each one.
 */
#ifndef VTD_MANAGE_H
#define VTD_MANAGE_H

#include <stdint.h>

#define VTD_IOCTL(n) ((0x22u << 16) | ((0x800u + (n)) << 2))

/* in: none.  out: u32 position count, then one 48-byte record each. */
#define VTD_IOCTL_LIST VTD_IOCTL(0) /* 0x222000 */
/* in: u32 position, u32 flags, the token image.  out: none. */
#define VTD_IOCTL_INSERT_TOKEN VTD_IOCTL(1) /* 0x222004 */
/* in: u32 position, u32 flags, 32-byte descriptor.  out: none. */
#define VTD_IOCTL_INSERT_DEVICE VTD_IOCTL(2) /* 0x222008 */
/* in: u32 position.  out: none. */
#define VTD_IOCTL_REMOVE VTD_IOCTL(3) /* 0x22200C */
/* in: u32 position.  out: the token's image. */
#define VTD_IOCTL_EXPORT VTD_IOCTL(4) /* 0x222010 */

/* Insert flags: replace whatever the position holds (else the insert
 * fails with VTD_ERROR_ALREADY_EXISTS on an occupied position). */
#define VTD_INSERT_REPLACE 1u

/* Positions of the driver. */
#define VTD_POSITIONS 8u

/* The driver's version, as the version control reports it. */
#define VTD_DRIVER_VERSION 0x100u

/* A list record, 48 bytes. */
#define VTD_LIST_HEADER_SIZE 4u
#define VTD_LIST_RECORD_SIZE 48u
#define VTD_LIST_KIND 0        /* u8: VTD_KIND_* */
#define VTD_LIST_ATTACHED 1    /* u8: 1 when attached to some handle */
#define VTD_LIST_LED 2         /* u16: the LED value last set */
#define VTD_LIST_SERIAL 4      /* 8 bytes: a token's serial number */
#define VTD_LIST_IMAGE_SIZE 12 /* u32: a token's image size */
#define VTD_LIST_DESCRIPTOR 16 /* 32 bytes: the descriptor attach returns */

#define VTD_KIND_EMPTY 0u
#define VTD_KIND_TOKEN 1u
#define VTD_KIND_DEVICE 2u /* a device that is no virtual token */

/* The Win32 errors the driver's controls fail with. */
#define VTD_ERROR_INVALID_FUNCTION 1u       /* unknown control code */
#define VTD_ERROR_TOO_MANY_OPEN_FILES 4u    /* handle table full */
#define VTD_ERROR_ACCESS_DENIED 5u          /* device attached to another handle */
#define VTD_ERROR_INVALID_HANDLE 6u         /* unknown or closed handle */
#define VTD_ERROR_INVALID_DATA 13u          /* damaged token image */
#define VTD_ERROR_NOT_SUPPORTED 50u         /* a command to a device that is no token */
#define VTD_ERROR_INVALID_PARAMETER 87u     /* malformed block, position out of range */
#define VTD_ERROR_INSUFFICIENT_BUFFER 122u  /* output too small for the answer */
#define VTD_ERROR_ALREADY_EXISTS 183u       /* insert without replace on a used position */
#define VTD_ERROR_NO_MORE_ITEMS 259u        /* attach: no device at or after the position */
#define VTD_ERROR_DEVICE_NOT_CONNECTED 1167u /* no device at the position */

#endif
