// The library's own functions against the core: the scripted test driver
// serves attach and release, and hands every token command to the core's
// token unchanged.
#ifndef VUXA_TEST_CORE_BEHIND_LIBRARY_H
#define VUXA_TEST_CORE_BEHIND_LIBRARY_H

#include <cstring>

#include "pyxo.h"
#include "support/scripted_driver.h"
#include "vtd_fixture.h"

namespace vuxa_test {

class ThroughTheLibrary : public ::testing::Test {
protected:
    void SetUp() override
    {
        vtd_token_params p = token_params(model(), 0x1000, 0x21);
        p.settings[0] = 0x18; // the file system needs nothing, PIN changes PIN or key
        ASSERT_EQ(vtd_new_token(core.get(), 0, &p), 0u);
        handle = core.open();
        ASSERT_EQ(core.control(handle, kIoctlAttach, attach_block(0), 48).error, 0u);

        DriverDevice device;
        device.descriptor = hex("08 00 01 10 00 10 03 0a");
        device.descriptor[1] = model();
        std::memcpy(device.serial.data(), p.serial, 8);
        scripted.add_device(device);
        scripted.on_command([this](const CommandBlock &block) {
            const Reply r = core.control(handle, kIoctlCommand, block.raw, block.out_size);
            return r.error ? DriverReply::fail(r.error) : DriverReply::bytes(r.output);
        });
        ASSERT_EQ(Pyxo_OpenDevice(&context, PYXO_OPEN_FIRST), PYXO_OK);
    }
    void TearDown() override { Pyxo_CloseDevice(&context); }
    virtual uint8_t model() const { return kWide; }

    Driver core;
    uint32_t handle = 0;
    ScriptedDriver scripted;
    PYXO_CONTEXT context{};
};

} // namespace vuxa_test

#endif
