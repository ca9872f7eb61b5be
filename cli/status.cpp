#include "status.h"

#include <algorithm>

#include "cli.h"
#include "pyxo.h"

namespace pyxo_cli {

namespace {

// The token's refusals reach the library as a status byte that it
// translates; what each byte means is the token's (docs/virtual-token.md
// lists the virtual token's, which are the token's own).
constexpr StatusInfo kLibraryStatuses[] = {
    {PYXO_OK, "PYXO_OK", "success"},
    {PYXO_ERR_DRIVER_COMM, "PYXO_ERR_DRIVER_COMM", "the token driver did not answer its version query"},
    {PYXO_ERR_DRIVER_VERSION, "PYXO_ERR_DRIVER_VERSION",
     "the token driver is too old (version below 0x100)"},
    {PYXO_ERR_3, "PYXO_ERR_3", "no file is selected on the token (token status 3)"},
    {PYXO_ERR_ACCESS_DENIED, "PYXO_ERR_ACCESS_DENIED",
     "access denied: a wrong PIN or master key, or an access condition that is not met "
     "(give --pin or --master-key)"},
    {PYXO_ERR_5, "PYXO_ERR_5", "no such directory, file or entry (token status 2)"},
    {PYXO_ERR_NO_DEVICE, "PYXO_ERR_NO_DEVICE", "no token: the driver cannot be reached or no token is left"},
    {PYXO_ERR_INVALID_HANDLE, "PYXO_ERR_INVALID_HANDLE", "the driver does not know the handle"},
    {PYXO_ERR_IO, "PYXO_ERR_IO", "the driver failed the request, or the connection to it broke"},
    {PYXO_ERR_9, "PYXO_ERR_9", "the directory or file exists already (token status 4)"},
    {PYXO_ERR_10, "PYXO_ERR_10",
     "the PIN or master key is locked after too many wrong tries (token status 5)"},
    {PYXO_ERR_MEMORY, "PYXO_ERR_MEMORY", "the token's memory check failed (token status 6)"},
    {PYXO_ERR_SELFTEST, "PYXO_ERR_SELFTEST", "the token's self-test failed (token status 7)"},
    {PYXO_ERR_RESPONSE_LENGTH, "PYXO_ERR_RESPONSE_LENGTH",
     "the token answered with an unexpected number of bytes"},
    {PYXO_ERR_14, "PYXO_ERR_14", "the selected file's type does not allow this (token status 8)"},
    {PYXO_ERR_15, "PYXO_ERR_15", "the directory is not empty (token status 9)"},
    {PYXO_ERR_NO_SPACE, "PYXO_ERR_NO_SPACE",
     "not enough room: larger than the token's memory, or no space left (token status 10)"},
    {PYXO_ERR_INVALID_PARAMETER, "PYXO_ERR_INVALID_PARAMETER",
     "an argument is out of range, or the token refused the request as malformed (token status 11)"},
    {PYXO_ERR_ODD_LENGTH, "PYXO_ERR_ODD_LENGTH",
     "sizes, offsets and lengths must be even: token memory is made of 16-bit words"},
    {PYXO_ERR_DATA_TOO_LONG, "PYXO_ERR_DATA_TOO_LONG", "too much data for one hash block"},
    {PYXO_ERR_20, "PYXO_ERR_20", "the counter is 0 already (token status 12)"},
    {PYXO_ERR_DEVICE_21, "PYXO_ERR_DEVICE_21", "the token is attached to another program"},
    {PYXO_ERR_UNKNOWN, "PYXO_ERR_UNKNOWN",
     "the token does not know the command, or answered a status this library does not know"},
};

// The system errors the virtual token driver's controls fail with, and
// those of reaching the driver at all.
constexpr StatusInfo kSystemErrors[] = {
    {1, "ERROR_INVALID_FUNCTION", "the driver does not know this control: is it the virtual token driver?"},
    {2, "ERROR_FILE_NOT_FOUND", "the token driver cannot be reached: is it installed, or vuxad running?"},
    {4, "ERROR_TOO_MANY_OPEN_FILES", "the driver's handle table is full"},
    {5, "ERROR_ACCESS_DENIED", "access denied"},
    {6, "ERROR_INVALID_HANDLE", "the driver does not know the handle"},
    {13, "ERROR_INVALID_DATA", "the token image is damaged"},
    {29, "ERROR_WRITE_FAULT", "the driver could not save the change"},
    {31, "ERROR_GEN_FAILURE", "the connection to the driver failed"},
    {50, "ERROR_NOT_SUPPORTED", "the device at that position is no virtual token"},
    {87, "ERROR_INVALID_PARAMETER", "no such position (0 to 7), or a malformed request"},
    {122, "ERROR_INSUFFICIENT_BUFFER", "the answer does not fit"},
    {183, "ERROR_ALREADY_EXISTS", "the position is occupied (add --replace)"},
    {259, "ERROR_NO_MORE_ITEMS", "no device at or after that position"},
    {1167, "ERROR_DEVICE_NOT_CONNECTED", "the position is empty"},
};

std::string describe(std::span<const StatusInfo> table, uint32_t code, std::string_view unknown)
{
    const auto row = std::find_if(table.begin(), table.end(),
                                  [code](const StatusInfo &s) { return s.code == code; });
    if (row == table.end())
        return std::string(unknown) + " " + std::to_string(code);
    return std::string(row->name) + " (" + std::to_string(code) + "): " + std::string(row->meaning);
}

} // namespace

std::span<const StatusInfo> library_statuses()
{
    return kLibraryStatuses;
}

std::string status_text(uint32_t status)
{
    return describe(kLibraryStatuses, status, "unknown status");
}

void check(uint32_t status, std::string_view what)
{
    if (status != PYXO_OK)
        throw Failure(kExitRefused, std::string(what) + ": " + status_text(status));
}

std::string system_error_text(uint32_t error)
{
    return describe(kSystemErrors, error, "system error");
}

} // namespace pyxo_cli
