// A driver's recorded requests as one line that a table row can spell out:
// "#1 version attach@0 release@1 cmd102@1": the I/O controls in order,
// each attach and release with the block's device_index, each token
// command with its code (hex) and device_index; "#N" marks where the
// requests start coming over connection N.
#ifndef VUXA_TEST_TRACE_H
#define VUXA_TEST_TRACE_H

#include <string>
#include <vector>

#include "scripted_driver.h"

namespace vuxa_test {

std::string trace(const std::vector<DriverRequest> &requests);

inline std::string trace(const ScriptedDriver &driver)
{
    return trace(driver.requests());
}

} // namespace vuxa_test

#endif
