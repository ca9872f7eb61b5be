// A daemon killed with SIGKILL in the middle of a stream of writes loses no
// write it acknowledged, and its image file is never torn: it restarts from
// the file every time.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <random>
#include <thread>

#include "env_var.h"
#include "token_files.h"
#include "vuxad_process.h"

namespace e2e {
namespace {

constexpr uint32_t kDir = 1;
constexpr uint32_t kFile = 1;
constexpr uint32_t kSlotBytes = 8; // one write command each
constexpr uint32_t kSlots = 128;
constexpr uint32_t kFileBytes = kSlots * kSlotBytes;
constexpr int kRounds = 6;

using Slot = std::array<uint8_t, kSlotBytes>;

Slot slot_value(int round, uint32_t write)
{
    Slot value{};
    for (uint32_t i = 0; i < kSlotBytes; ++i)
        value[i] = uint8_t(round * 41 + write * 13 + i + 1);
    return value;
}

class Persistence : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(daemon_.start({"--new", image_})) << daemon_.log();
        PYXO_CONTEXT context{};
        ASSERT_EQ(Pyxo_OpenDevice(&context, PYXO_OPEN_FIRST), PYXO_OK);
        ASSERT_EQ(log_in(context), PYXO_OK);
        ASSERT_EQ(Pyxo_CreateDir(&context, kDir, kFileBytes + 64), PYXO_OK);
        ASSERT_EQ(create_open_data_file(context, kDir, kFile, kFileBytes), PYXO_OK);
        Pyxo_CloseDevice(&context);
    }

    // Opens the token and selects the file.
    static void open_file(PYXO_CONTEXT &context)
    {
        ASSERT_EQ(Pyxo_OpenDevice(&context, PYXO_OPEN_FIRST), PYXO_OK);
        ASSERT_EQ(Pyxo_SelectFile(&context, kDir, kFile), PYXO_OK);
    }

    ScratchDir dir_;
    std::string image_ = dir_.path("token.img");
    VuxadProcess daemon_{dir_};
    DeviceDirScope device_dir_{daemon_.socket_dir()};
    std::vector<Slot> acknowledged_ = std::vector<Slot>(kSlots, Slot{});
};

TEST_F(Persistence, AcknowledgedWritesSurviveSigkill)
{
    std::mt19937 random(20261211);
    uint32_t total_acknowledged = 0;
    for (int round = 0; round < kRounds; ++round) {
        PYXO_CONTEXT context{};
        open_file(context);
        if (HasFatalFailure())
            return;

        // Kill the daemon after a while, whatever it is doing then.
        auto delay = std::chrono::milliseconds(20 + random() % 200);
        pid_t pid = daemon_.pid();
        std::thread killer([delay, pid] {
            std::this_thread::sleep_for(delay);
            kill(pid, SIGKILL);
        });
        uint32_t write = 0;
        std::optional<std::pair<uint32_t, Slot>> unacknowledged;
        for (;; ++write) {
            uint32_t slot = (write * 37 + uint32_t(round)) % kSlots;
            Slot value = slot_value(round, write);
            uint32_t count = 0;
            uint32_t status =
                Pyxo_WriteFile(&context, value.data(), slot * kSlotBytes, kSlotBytes, &count);
            if (status != PYXO_OK) {
                unacknowledged = {slot, value}; // may or may not have been done
                break;
            }
            acknowledged_[slot] = value;
            ++total_acknowledged;
        }
        killer.join();
        daemon_.stop(SIGKILL);
        Pyxo_CloseDevice(&context);

        ASSERT_TRUE(daemon_.start({image_})) << "round " << round << ": " << daemon_.log();
        open_file(context);
        std::vector<uint8_t> contents(kFileBytes);
        uint32_t read = 0;
        ASSERT_EQ(Pyxo_ReadFile(&context, contents.data(), 0, kFileBytes, &read), PYXO_OK);
        for (uint32_t slot = 0; slot < kSlots; ++slot) {
            Slot found;
            std::copy_n(contents.begin() + slot * kSlotBytes, kSlotBytes, found.begin());
            if (unacknowledged && unacknowledged->first == slot && found == unacknowledged->second)
                acknowledged_[slot] = found; // done, just not acknowledged
            ASSERT_EQ(found, acknowledged_[slot]) << "round " << round << ", slot " << slot;
        }
        Pyxo_CloseDevice(&context);
    }
    EXPECT_GT(total_acknowledged, uint32_t(kRounds)) << "the writes hardly ran";
}

TEST_F(Persistence, ChangeThatCannotBeSavedIsNotAcknowledgedAndSavedLater)
{
    PYXO_CONTEXT context{};
    open_file(context);
    if (HasFatalFailure())
        return;
    // A directory where the temporary file goes makes every save fail,
    // even for root.
    const std::string blocker = image_ + ".tmp";
    ASSERT_TRUE(std::filesystem::create_directories(blocker + "/in-the-way"));

    const Slot first = slot_value(1, 1);
    uint32_t count = 0;
    EXPECT_EQ(Pyxo_WriteFile(&context, first.data(), 0, kSlotBytes, &count), PYXO_ERR_IO);
    EXPECT_NE(daemon_.log().find(blocker), std::string::npos) << daemon_.log();

    // Once saving works again, the next request, even one that changes
    // nothing, saves what is pending.
    std::filesystem::remove_all(blocker);
    uint32_t serial[2];
    ASSERT_EQ(Pyxo_GetSerialNumber(&context, serial), PYXO_OK);
    daemon_.stop(SIGKILL);
    Pyxo_CloseDevice(&context);

    ASSERT_TRUE(daemon_.start({image_})) << daemon_.log();
    open_file(context);
    Slot found{};
    ASSERT_EQ(Pyxo_ReadFile(&context, found.data(), 0, kSlotBytes, &count), PYXO_OK);
    EXPECT_EQ(hex(found.data(), kSlotBytes), hex(first.data(), kSlotBytes));
    Pyxo_CloseDevice(&context);
}

} // namespace
} // namespace e2e
