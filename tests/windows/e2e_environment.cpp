// The Windows driver environment of the portable end-to-end tests
// (tests/e2e): the virtual token's kernel driver, which the Wine run
// (wine_run.sh) installs and starts before any test program.  Here it only
// has to answer; the tests put their tokens in through its management
// controls, as on every system.
#include <string>

#include "environment.h"
#include "vtd_client.h"

namespace e2e {

namespace {

class KernelDriver : public DriverEnvironment {};

} // namespace

std::unique_ptr<DriverEnvironment> start_driver_environment(std::string *problem)
{
    vtd_client::Connection connection;
    if (connection.error() != 0) {
        *problem = "cannot open \\\\.\\VUXADRVR (Win32 error " +
                   std::to_string(connection.error()) + "): is the VUXADRVR service running?";
        return nullptr;
    }
    std::vector<vtd_client::PositionInfo> positions;
    if (uint32_t error = connection.list(positions)) {
        *problem = "the driver refuses its list control (Win32 error " + std::to_string(error) +
                   ")";
        return nullptr;
    }
    return std::make_unique<KernelDriver>();
}

} // namespace e2e
