// Fuzz target vtd_image: the virtual token core's image import on
// arbitrary bytes.  The input is a flags byte (bit 0: fix the image's
// stated size and checksum, so that the checks behind them are reached),
// a position, the image's length (16 bits) and bytes, then a script of
// calls on the driver (vtd_session.h), so that a token the core accepted
// is also put to work.  Checked: import judges exactly as vtd_check_image;
// a refused image changes nothing in the driver; an accepted one exports
// as the very same bytes; the script's own checks.
#include <cstring>

#include "exact_buffer.h"
#include "fuzz_check.h"
#include "vtd_session.h"

namespace {
constexpr unsigned kMaxSteps = 64;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput in(data, size);
    const uint8_t flags = in.u8();
    const uint32_t position = in.u8() % 10; // 8 and 9 are no position
    std::vector<uint8_t> image(in.u16());
    in.bytes(image.data(), image.size());
    if (flags & 1)
        fix_image_frame(image);

    VtdSession session(in);
    ExactBuffer exact(image.size());
    if (!image.empty())
        memcpy(exact.data(), image.data(), image.size());
    static std::vector<uint8_t> before; // a megabyte: allocated once
    before.assign(session.memory(), session.memory() + session.driver_size());
    const uint32_t checked = vtd_check_image(exact.data(), uint32_t(exact.size()));
    const uint32_t error =
        vtd_import_image(session.driver(), position, exact.data(), uint32_t(exact.size()));
    FUZZ_CHECK(error == (position < 8 ? checked : uint32_t(VTD_IMAGE_BAD_POSITION)),
               "import judges as vtd_check_image");
    FUZZ_CHECK(vtd_image_error_text(error) != nullptr, "every error has a text");
    if (error != 0) {
        FUZZ_CHECK(memcmp(before.data(), session.memory(), session.driver_size()) == 0,
                   "a refused image changes nothing");
    } else {
        FUZZ_CHECK(session.export_checked(position) == image,
                   "an imported token exports as its image");
    }
    session.run_script(kMaxSteps);
    session.finish();
    return 0;
}
