#include "run.h"

Before::Before(const PYXO_CONTEXT &context)
    : image(RecordImage::of(context)), mirror(Mirror::of(context)),
      commands(fake_kernel::commands()), driver_opens(fake_kernel::driver_opens()),
      usable(context.signature == kSignature && context.device_handle != INVALID_HANDLE_VALUE)
{
}

uint32_t choose_id(FuzzInput &in)
{
    static const uint32_t kBoundaries[] = {0, 0xFF, 0x100, 0xFFFF, 0x10000, 0xFFFFFFFF};
    switch (in.u8() % 4) {
    case 0:
        return in.u8();
    case 1:
        return in.u16();
    case 2:
        return in.u32();
    default:
        return kBoundaries[in.u8() % (sizeof kBoundaries / sizeof kBoundaries[0])];
    }
}
