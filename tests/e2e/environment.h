// The system's part of the portable end-to-end tests: a token driver that
// the library and the management client reach.  Each system supplies it in
// a file of its own: linux/environment_linux.cpp starts vuxad in a
// temporary directory; on Windows the kernel driver is already running.
// The tests themselves put their tokens in with the management controls.
#ifndef VUXA_E2E_ENVIRONMENT_H
#define VUXA_E2E_ENVIRONMENT_H

#include <memory>
#include <string>

namespace e2e {

class DriverEnvironment {
public:
    virtual ~DriverEnvironment() = default; // stops what the start started
};

// Makes the driver reachable; nothing, with the reason in *problem, when
// it cannot.
std::unique_ptr<DriverEnvironment> start_driver_environment(std::string *problem);

} // namespace e2e

#endif
