// Fuzz target vtd_control: the virtual token core driven through its C
// interface by a script the input writes (vtd_session.h): handles opened,
// closed, reused and made up; the library's four I/O controls and the
// management ones with blocks, codes, positions, payload lengths and
// buffer sizes the input chooses, input and output in separate buffers
// or in one as a kernel driver gets them; tokens made, devices inserted,
// positions emptied, images exported and imported.  The core starts with
// two tokens (32- and 16-bit identifiers) whose settings allow everything.
#include "vtd_session.h"

namespace {
constexpr unsigned kMaxSteps = 256;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput in(data, size);
    VtdSession session(in);
    session.run_script(kMaxSteps);
    session.finish();
    return 0;
}
