// GetLastError: one value per thread.  The initial-exec model keeps the
// variable in the static TLS block even when the library is loaded with
// dlopen, so that no access ever allocates.
#include "platform/posix/last_error.h"

namespace {

thread_local DWORD last_error __attribute__((tls_model("initial-exec"))) = ERROR_SUCCESS;

} // namespace

void pyxo_set_last_error(DWORD error)
{
    last_error = error;
}

DWORD GetLastError(void)
{
    return last_error;
}
