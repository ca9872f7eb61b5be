// Fuzz target device_path: how the POSIX stand-in turns a device path and
// the socket directory from the environment into a socket address.  The
// input is the directory, a zero byte, then the path.  A model of the rule
// ("\\.\NAME", NAME 1 to 64 of A-Z a-z 0-9 _ -, DIR/NAME must fit) says
// whether the path is accepted and what address must come out.
#include <sys/socket.h>
#include <sys/un.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_check.h"
#include "platform/posix/device_path.h"
#include "platform/posix/protocol.h"

namespace {

constexpr char kVariable[] = "VUXA_DEVICE_DIR=";
constexpr size_t kVariableLength = sizeof kVariable - 1;
constexpr size_t kMaxDirectory = 200;

// The environment entry the stand-in reads, changed in place from run to
// run (setenv would keep every value it was ever given).
char environment_entry[kVariableLength + kMaxDirectory + 1];

bool name_char(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           c == '_' || c == '-';
}

// The address the path must give, or an empty string when it is refused.
std::string expected_path(const std::string &directory, const std::string &path)
{
    const std::string prefix = "\\\\.\\";
    if (path.compare(0, prefix.size(), prefix) != 0)
        return "";
    const std::string name = path.substr(prefix.size());
    if (name.empty() || name.size() > PYXO_DEVICE_NAME_MAX)
        return "";
    for (char c : name) {
        if (!name_char(c))
            return "";
    }
    const std::string socket = (directory.empty() ? "/run/vuxa" : directory) + "/" + name;
    return socket.size() < sizeof(sockaddr_un{}.sun_path) ? socket : "";
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    unsetenv("XDG_RUNTIME_DIR"); // an empty directory then means /run/vuxa
    memcpy(environment_entry, kVariable, kVariableLength);
    putenv(environment_entry);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *text = (const char *)data;
    const char *split = (const char *)memchr(text, 0, size);
    if (split == nullptr || size_t(split - text) > kMaxDirectory)
        return 0;
    const std::string directory(text, split);
    const std::string path(split + 1, text + size);
    if (path.find('\0') != std::string::npos)
        return 0; // a C string ends at its first zero byte
    memcpy(environment_entry + kVariableLength, directory.c_str(), directory.size() + 1);

    sockaddr_un address;
    memset(&address, 0xA5, sizeof address);
    const bool accepted = pyxo_device_address(path.c_str(), &address);
    const std::string expected = expected_path(directory, path);
    FUZZ_CHECK(accepted == !expected.empty(), "accepted exactly the paths of the rule");
    if (!accepted)
        return 0;
    FUZZ_CHECK(address.sun_family == AF_UNIX, "a Unix socket address");
    FUZZ_CHECK(memchr(address.sun_path, 0, sizeof address.sun_path) != nullptr,
               "the socket path ends within the address");
    FUZZ_CHECK(expected == address.sun_path, "the socket path DIR/NAME");
    return 0;
}
