// Where a device path leads: "\\.\NAME" is the Unix socket DIR/NAME.
#ifndef VUXA_PLATFORM_POSIX_DEVICE_PATH_H
#define VUXA_PLATFORM_POSIX_DEVICE_PATH_H

#include <sys/un.h>

// Fills address with the socket of the device path.  False when the path
// is not of the form "\\.\NAME" (NAME: 1 to 64 letters, digits, '_' or
// '-') or the socket path does not fit.
__attribute__((visibility("hidden"))) bool pyxo_device_address(const char *path,
                                                               struct sockaddr_un *address);

#endif
