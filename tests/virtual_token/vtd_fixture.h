// A driver core in the test process, one handle on it, and helpers that
// build the library's blocks by hand and send them through vtd_control.
#ifndef VUXA_TEST_VTD_FIXTURE_H
#define VUXA_TEST_VTD_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "support/hex.h"
#include "vtd.h"
#include "vtd_manage.h"

namespace vuxa_test {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kIoctlVersion = 0x220400;
constexpr uint32_t kIoctlAttach = 0x220404;
constexpr uint32_t kIoctlRelease = 0x220408;
constexpr uint32_t kIoctlCommand = 0x22040C;

constexpr uint8_t kWide = 0x50;
constexpr uint8_t kNarrow = 0x4F;
constexpr uint32_t kTestPin = 0x31323334;
const Bytes kTestKey = {0x4B, 0x45, 0x59, 0x2D, 0x30, 0x31, 0x32, 0x33};

// Test tokens: settings 0x1B 0x53: file system after the PIN (1), PIN
// changes after PIN or master key (3), 3 PIN tries, 5 master key tries.
vtd_token_params token_params(uint8_t model, uint16_t memory_words = 0x1000,
                              uint8_t serial_seed = 1);

// The result of one I/O control.
struct Reply {
    uint32_t error = 0;
    Bytes output;
};

class Driver {
public:
    Driver();
    ~Driver();
    vtd_driver *get() { return driver_; }
    uint32_t open();
    void close(uint32_t handle);
    Reply control(uint32_t handle, uint32_t code, const Bytes &in, uint32_t out_size);
    // The counter of the deterministic random source.
    uint8_t next_random = 0xA0;

private:
    vtd_driver *driver_ = nullptr;
    std::unique_ptr<uint64_t[]> memory_;
};

// An attach block as the library fills it.
Bytes attach_block(uint32_t device_index);
// A command block as the library's exchange fills it.
Bytes command_block(uint32_t device_index, uint32_t command, const Bytes &request);

// A driver with one token inserted at a position and attached to a handle.
class TokenTest : public ::testing::Test {
protected:
    void insert(uint8_t model, uint32_t position = 0, uint16_t memory_words = 0x1000);
    // Attaches the device at position; expects attach_status 0.
    void attach(uint32_t position);
    // One token command; the answer bytes (data, or one status byte).
    Bytes cmd(uint32_t command, const Bytes &request = {}, uint32_t out_size = 64);
    // A status-only command's status byte.
    uint8_t status(uint32_t command, const Bytes &request = {});

    // Helpers in the library's request layouts of the attached token.
    uint8_t verify_pin(uint32_t pin = kTestPin);
    uint8_t verify_key(const Bytes &key = kTestKey);
    uint8_t create_dir(uint32_t dir_id, uint32_t words);
    uint8_t create_file(uint32_t dir_id, uint32_t file_id, uint8_t type, uint8_t access,
                        uint32_t words);
    Bytes select(uint32_t dir_id, uint32_t file_id);
    Bytes dir(uint32_t dir_id, uint32_t index);
    Bytes read(uint32_t word_offset, uint32_t words);
    uint8_t write(uint32_t word_offset, const Bytes &data);
    uint8_t set_settings(uint8_t byte0, uint8_t byte1);

    Driver driver;
    uint32_t handle = 0;
    uint32_t position = 0;
    bool wide = true;
};

} // namespace vuxa_test

#endif
