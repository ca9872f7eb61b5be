// Points the library at a socket directory for one scope.
#ifndef VUXA_E2E_ENV_VAR_H
#define VUXA_E2E_ENV_VAR_H

#include <cstdlib>
#include <optional>
#include <string>

namespace e2e {

class DeviceDirScope {
public:
    explicit DeviceDirScope(const std::string &dir)
    {
        if (const char *old = getenv("VUXA_DEVICE_DIR"))
            old_ = old;
        setenv("VUXA_DEVICE_DIR", dir.c_str(), 1);
    }
    ~DeviceDirScope()
    {
        if (old_)
            setenv("VUXA_DEVICE_DIR", old_->c_str(), 1);
        else
            unsetenv("VUXA_DEVICE_DIR");
    }
    DeviceDirScope(const DeviceDirScope &) = delete;
    DeviceDirScope &operator=(const DeviceDirScope &) = delete;

private:
    std::optional<std::string> old_;
};

} // namespace e2e

#endif
