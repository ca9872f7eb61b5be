// The driver environment on Linux: vuxad, empty, in a temporary directory
// that VUXA_DEVICE_DIR names for the library and the management client.
#include <csignal>

#include "env_var.h"
#include "environment.h"
#include "vuxad_process.h"

namespace e2e {

namespace {

class VuxadEnvironment : public DriverEnvironment {
public:
    bool start(std::string *problem)
    {
        if (daemon_.start({}))
            return true;
        *problem = "vuxad did not start: " + daemon_.log();
        return false;
    }
    ~VuxadEnvironment() override { daemon_.stop(SIGTERM); }

private:
    ScratchDir dir_;
    VuxadProcess daemon_{dir_};
    DeviceDirScope device_dir_{daemon_.socket_dir()};
};

} // namespace

std::unique_ptr<DriverEnvironment> start_driver_environment(std::string *problem)
{
    auto environment = std::make_unique<VuxadEnvironment>();
    if (!environment->start(problem))
        return nullptr;
    return environment;
}

} // namespace e2e
