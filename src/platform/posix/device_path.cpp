// Device path to socket address.  DIR is $VUXA_DEVICE_DIR when set and not
// empty, else $XDG_RUNTIME_DIR/vuxa, else /run/vuxa.  In a set-user-ID
// program the environment is not trusted and DIR is always /run/vuxa.
#include "platform/posix/device_path.h"

#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>

#include "platform/posix/protocol.h"

namespace {

constexpr char kDevicePrefix[] = "\\\\.\\";
constexpr size_t kDevicePrefixLength = sizeof kDevicePrefix - 1;

const char *environment(const char *name)
{
#if defined(__GLIBC__)
    const char *value = secure_getenv(name);
#else
    const char *value = getenv(name);
#endif
    return value != nullptr && value[0] != '\0' ? value : nullptr;
}

bool is_name_char(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           c == '_' || c == '-';
}

// The NAME of "\\.\NAME", or null for a path of another form.
const char *device_name(const char *path)
{
    if (path == nullptr || strncmp(path, kDevicePrefix, kDevicePrefixLength) != 0)
        return nullptr;
    const char *name = path + kDevicePrefixLength;
    size_t length = 0;
    while (name[length] != '\0') {
        if (!is_name_char(name[length]) || ++length > PYXO_DEVICE_NAME_MAX)
            return nullptr;
    }
    return length > 0 ? name : nullptr;
}

// Appends text to the socket path; false when it does not fit.
bool append(struct sockaddr_un *address, size_t *used, const char *text)
{
    const size_t length = strlen(text);
    if (length >= sizeof address->sun_path - *used)
        return false;
    memcpy(address->sun_path + *used, text, length + 1);
    *used += length;
    return true;
}

bool append_directory(struct sockaddr_un *address, size_t *used)
{
    const char *directory = environment("VUXA_DEVICE_DIR");
    if (directory != nullptr)
        return append(address, used, directory);
    directory = environment("XDG_RUNTIME_DIR");
    if (directory != nullptr)
        return append(address, used, directory) && append(address, used, "/vuxa");
    return append(address, used, "/run/vuxa");
}

} // namespace

bool pyxo_device_address(const char *path, struct sockaddr_un *address)
{
    const char *name = device_name(path);
    if (name == nullptr)
        return false;
    memset(address, 0, sizeof *address);
    address->sun_family = AF_UNIX;
    size_t used = 0;
    return append_directory(address, &used) && append(address, &used, "/") &&
           append(address, &used, name);
}
