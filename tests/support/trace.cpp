#include "trace.h"

#include <cstdio>

#include "device/driver_interface.h"

namespace vuxa_test {

namespace {

uint32_t index_of(const DriverRequest &request)
{
    if (request.input.size() < 4)
        return 0;
    const uint8_t *p = request.input.data();
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

std::string describe(const DriverRequest &request)
{
    char text[64];
    switch (request.code) {
    case PYXO_IOCTL_GET_VERSION:
        return "version";
    case PYXO_IOCTL_ATTACH:
        std::snprintf(text, sizeof text, "attach@%u", index_of(request));
        return text;
    case PYXO_IOCTL_RELEASE:
        std::snprintf(text, sizeof text, "release@%u", index_of(request));
        return text;
    case PYXO_IOCTL_COMMAND: {
        const CommandBlock block = decode_command(request);
        std::snprintf(text, sizeof text, "cmd%x@%u", block.command, block.device_index);
        return text;
    }
    default:
        std::snprintf(text, sizeof text, "ioctl%x", request.code);
        return text;
    }
}

} // namespace

std::string trace(const std::vector<DriverRequest> &requests)
{
    std::string line;
    int connection = 0;
    for (const DriverRequest &request : requests) {
        if (!line.empty())
            line += ' ';
        if (request.connection != connection) {
            connection = request.connection;
            line += "#" + std::to_string(connection) + " ";
        }
        line += describe(request);
    }
    return line;
}

} // namespace vuxa_test
