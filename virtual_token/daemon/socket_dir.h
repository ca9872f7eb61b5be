// Where vuxad puts its socket, and the checks that make that place safe.
#ifndef VUXAD_SOCKET_DIR_H
#define VUXAD_SOCKET_DIR_H

#include <string>

namespace vuxad {

// The socket's file name, the device name of the driver's path \\.\VUXADRVR.
inline constexpr const char *kSocketName = "VUXADRVR";

// The directory the library looks in: $VUXA_DEVICE_DIR when set and not
// empty, else $XDG_RUNTIME_DIR/vuxa when that is set and not empty, else
// /run/vuxa.
std::string default_socket_dir();

// Creates the directory (mode 0700) when it is missing, then refuses it
// (std::runtime_error with a message for the user) unless it is a directory
// owned by this user that no other user can write to.
void prepare_socket_dir(const std::string &dir);

// The reason a directory is unsafe to serve from, or "" when it is safe.
std::string unsafe_dir_reason(const std::string &dir);

std::string socket_path(const std::string &dir);

} // namespace vuxad

#endif
