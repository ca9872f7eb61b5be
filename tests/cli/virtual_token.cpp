#include "virtual_token.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "device/driver_interface.h"

namespace pyxo_test {

namespace {

constexpr uint32_t kPosition = 0;
constexpr std::array<uint8_t, 8> kSerialBytes = {0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8};

void counting_random(void *context, uint8_t *out, size_t n)
{
    uint8_t &next = *static_cast<uint8_t *>(context);
    for (size_t i = 0; i < n; i++)
        out[i] = next++;
}

uint8_t random_state = 0x40;

} // namespace

VirtualToken::VirtualToken(uint8_t model, uint16_t memory_words)
{
    const size_t words = (vtd_driver_size() + 7) / 8;
    memory_ = std::make_unique<uint64_t[]>(words);
    core_ = reinterpret_cast<vtd_driver *>(memory_.get());
    vtd_driver_init(core_, counting_random, &random_state);
    vtd_token_params params{};
    params.model = model;
    params.memory_words = memory_words;
    std::memcpy(params.serial, kSerialBytes.data(), sizeof params.serial);
    params.pin = 1234;
    const uint8_t key[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    std::memcpy(params.master_key, key, sizeof key);
    params.settings[0] = 0x1A; // file system: master key; PIN changes: PIN or master key
    params.settings[1] = 0x53; // 5 master key tries, 3 PIN tries
    EXPECT_EQ(vtd_new_token(core_, kPosition, &params), 0u);
    new_attachment();

    driver.add_device(vuxa_test::DriverDevice::token(model, memory_words, kSerialBytes));
    driver.on_command([this](const vuxa_test::CommandBlock &block) {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<uint8_t> out(block.out_size);
        uint32_t returned = 0;
        const uint32_t error =
            vtd_control(core_, handle_, PYXO_IOCTL_COMMAND, block.raw.data(),
                        uint32_t(block.raw.size()), out.data(), uint32_t(out.size()), &returned);
        if (error != 0)
            return std::optional(vuxa_test::DriverReply::fail(error));
        out.resize(returned);
        return std::optional(vuxa_test::DriverReply::bytes(out));
    });
}

VirtualToken::~VirtualToken()
{
    driver.on_command(nullptr);
}

void VirtualToken::new_attachment()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (handle_ != 0)
        vtd_close_handle(core_, handle_);
    ASSERT_EQ(vtd_open_handle(core_, &handle_), 0u);
    std::vector<uint8_t> block(PYXO_ATTACH_BLOCK_SIZE, 0);
    uint32_t returned = 0;
    ASSERT_EQ(vtd_control(core_, handle_, PYXO_IOCTL_ATTACH, block.data(), uint32_t(block.size()),
                          block.data(), uint32_t(block.size()), &returned),
              0u);
}

ToolResult VirtualToken::run(const std::vector<std::string> &args, const std::string &input)
{
    new_attachment();
    return run_tool(args, input);
}

ToolResult VirtualToken::admin(std::vector<std::string> args, const std::string &input)
{
    args.insert(args.begin(), {"--master-key", kMasterKey});
    return run(args, input);
}

} // namespace pyxo_test
