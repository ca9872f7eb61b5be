// Random command blocks against a token with credentials verified: the
// token may refuse anything, but its file system stays consistent (its
// own memory test passes) and every state it reaches exports as an image
// that imports again.
#include <random>

#include "device/driver_interface.h"
#include "device/token_commands.h"
#include "util/bytes.h"
#include "vtd_fixture.h"

namespace vuxa_test {
namespace {

constexpr uint32_t kCodes[] = {
    PYXO_CMD_GET_RESPONSE,
    PYXO_CMD_DIAGNOSE,
    PYXO_CMD_LED,
    PYXO_CMD_RESET,
    PYXO_CMD_SETTINGS,
    PYXO_CMD_SERIAL_NUMBER,
    PYXO_CMD_GET_ACCESS_SETTINGS,
    PYXO_CMD_DIR,
    PYXO_CMD_SELECT_FILE,
    PYXO_CMD_CLOSE_FILE,
    PYXO_CMD_READ_FILE,
    PYXO_CMD_WRITE_FILE,
    PYXO_CMD_DECREMENT,
    PYXO_CMD_CREATE_DIR,
    PYXO_CMD_CREATE_FILE,
    PYXO_CMD_DELETE_DIR,
    PYXO_CMD_DELETE_FILE,
    PYXO_CMD_VERIFY_PIN,
    PYXO_CMD_VERIFY_MASTER_KEY,
    PYXO_CMD_HASH_RAW,
    PYXO_CMD_HASH_KEYED,
    PYXO_CMD_GET_CHALLENGE,
    PYXO_CMD_HASH_CHAP,
};

// The request length a command takes (wide, narrow), where it has one.
size_t usual_length(uint32_t code, bool wide)
{
    switch (code) {
    case PYXO_CMD_CREATE_FILE:
        return wide ? 12 : 8;
    case PYXO_CMD_CREATE_DIR:
        return wide ? 12 : 6;
    case PYXO_CMD_SELECT_FILE:
    case PYXO_CMD_DELETE_FILE:
        return wide ? 8 : 4;
    case PYXO_CMD_DIR:
        return wide ? 6 : 4;
    case PYXO_CMD_HASH_RAW:
    case PYXO_CMD_HASH_KEYED:
    case PYXO_CMD_HASH_CHAP:
        return 80;
    case PYXO_CMD_WRITE_FILE:
        return 8;
    default:
        return 4;
    }
}

// Mostly the usual length with small identifiers and sizes, so that
// random requests often hit; now and then any length and any byte.
Bytes random_request(std::mt19937 &random, uint32_t code, bool wide)
{
    static const size_t kLengths[] = {0, 2, 4, 6, 8, 12, 20, 80, 81, 260};
    const size_t length = random() % 4
                              ? usual_length(code, wide)
                              : kLengths[random() % (sizeof kLengths / sizeof kLengths[0])];
    Bytes r(length);
    for (uint8_t &b : r)
        b = uint8_t(random() % 16 == 0 ? random() : random() % 3 == 0 ? random() % 4 : 0);
    if (code == PYXO_CMD_WRITE_FILE && length == 8)
        r[2] = 2; // two words, as the payload carries
    if (code == PYXO_CMD_CREATE_FILE && length == 12)
        r[9] = uint8_t((2 + random() % 3) << 5);
    if (code == PYXO_CMD_CREATE_FILE && length == 8)
        r[5] = uint8_t((2 + random() % 3) << 5);
    return r;
}

class Robustness : public TokenTest, public ::testing::WithParamInterface<uint8_t> {};

INSTANTIATE_TEST_SUITE_P(Widths, Robustness, ::testing::Values(kWide, kNarrow),
                         [](const auto &info) { return info.param == kWide ? "Wide" : "Narrow"; });

TEST_P(Robustness, RandomCommandsKeepTheTokenSound)
{
    insert(GetParam(), 0, 300);
    attach(0);
    std::mt19937 random(GetParam());
    int created = 0;
    for (int round = 0; round < 20000; round++) {
        if (round % 10 == 0) {
            verify_pin();
            verify_key();
        }
        const uint32_t code = kCodes[random() % (sizeof kCodes / sizeof kCodes[0])];
        if (code == PYXO_CMD_SETTINGS || code == PYXO_CMD_VERIFY_PIN ||
            code == PYXO_CMD_VERIFY_MASTER_KEY)
            continue; // wrong tries and new credentials would lock the test out
        const Bytes request = random_request(random, code, GetParam() == kWide);
        const Reply r = driver.control(handle, kIoctlCommand, command_block(1, code, request), 64);
        ASSERT_EQ(r.error, 0u);
        if ((code == PYXO_CMD_CREATE_FILE || code == PYXO_CMD_CREATE_DIR) && r.output == Bytes{0})
            created++;
        if (round % 500 != 0)
            continue;
        ASSERT_EQ(cmd(PYXO_CMD_DIAGNOSE, {}, 6).at(4), 0xFF) << "round " << round;
        Bytes image(vtd_max_image_size());
        image.resize(vtd_export_image(driver.get(), 0, image.data(), uint32_t(image.size())));
        ASSERT_EQ(vtd_check_image(image.data(), uint32_t(image.size())), 0u) << "round " << round;
    }
    EXPECT_GT(created, 10) << "the random requests reached the file system";
}

} // namespace
} // namespace vuxa_test
