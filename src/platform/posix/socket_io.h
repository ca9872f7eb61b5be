// Whole-buffer transfers on a driver connection, immune to partial
// transfers, interrupted calls and SIGPIPE.
#ifndef VUXA_PLATFORM_POSIX_SOCKET_IO_H
#define VUXA_PLATFORM_POSIX_SOCKET_IO_H

#include <stddef.h>
#include <sys/uio.h>

enum PyxoLink {
    PYXO_LINK_OK,
    PYXO_LINK_NOT_OURS, // the descriptor is no connected socket
    PYXO_LINK_BROKEN,   // the connection failed or the peer hung up
};

// Sends every byte the parts describe.  The parts are consumed: their
// bases and lengths are advanced past what was sent.  The bytes go from
// the caller's buffers to the kernel without a copy of ours.
__attribute__((visibility("hidden"))) PyxoLink pyxo_send_all(int fd, struct iovec *parts,
                                                             size_t count);

// Receives exactly size bytes into buffer.
__attribute__((visibility("hidden"))) PyxoLink pyxo_receive_all(int fd, void *buffer, size_t size);

#endif
