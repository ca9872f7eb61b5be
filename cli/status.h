// Status codes in words: the library's PYXO_ codes and the system errors
// the driver's controls fail with, each by its name and a short
// explanation.
#ifndef PYXO_CLI_STATUS_H
#define PYXO_CLI_STATUS_H

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace pyxo_cli {

struct StatusInfo {
    uint32_t code;
    std::string_view name;
    std::string_view meaning;
};

// Every status code the library returns.
std::span<const StatusInfo> library_statuses();

// "PYXO_ERR_NO_SPACE (16): not enough room on the token ...".
std::string status_text(uint32_t status);

// Ends the command with kExitRefused unless status is PYXO_OK:
// "<what>: <status_text>".
void check(uint32_t status, std::string_view what);

// "ERROR_ALREADY_EXISTS (183): ...", for the driver's own controls.
std::string system_error_text(uint32_t error);

} // namespace pyxo_cli

#endif
