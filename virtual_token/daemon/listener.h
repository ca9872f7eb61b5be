// The listening Unix socket of vuxad.
#ifndef VUXAD_LISTENER_H
#define VUXAD_LISTENER_H

#include <string>

namespace vuxad {

// Binds and listens on path with mode 0600, non-blocking.  A stale socket
// left by a daemon that died is replaced; a socket some daemon still
// answers on, or a file of another kind, is refused (std::runtime_error).
int open_listener(const std::string &path);

} // namespace vuxad

#endif
