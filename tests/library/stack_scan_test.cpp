// No copy of a PIN or master key stays behind in the stack memory the
// library used: the stack below the caller is painted, a secret goes
// through the command exchange, and the same memory is then searched for
// any four consecutive bytes of the secret.
//
// Only meaningful in an optimised build without AddressSanitizer (which
// moves locals to a heap-backed fake stack and guards stack memory).  The
// program is bound at load (see CMakeLists.txt), as the shared library is.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "device/exchange.h"
#include "device/token_commands.h"
#include "support/open_token.h"

namespace vuxa_test {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

constexpr size_t kRegionSize = 128 * 1024; // far more than any call here uses
constexpr uint8_t kPaint = 0xC3;
constexpr size_t kWindow = 4; // a copy of half a key is a leak too

struct Secret {
    const uint8_t *bytes;
    size_t size;
};

// Paints the region below the caller (secret null), or counts the places
// in the painted memory where a window of the secret occurs.  Called twice
// from one frame of the caller the region lies at nearly the same place
// both times (the compiler may adjust the stack pointer around a call by a
// few bytes); only memory inside both the painted and the scanned region is
// searched.  Reading the region before writing it is the point of the scan.
__attribute__((noinline)) size_t stack_region(const Secret *secret, uintptr_t *painted)
{
    volatile uint8_t region[kRegionSize];
    const uintptr_t here = reinterpret_cast<uintptr_t>(&region[0]);
    if (secret == nullptr) {
        for (size_t i = 0; i < kRegionSize; ++i)
            region[i] = kPaint;
        *painted = here;
        return 0;
    }
    const uintptr_t low = here > *painted ? here : *painted;
    const uintptr_t high = (here < *painted ? here : *painted) + kRegionSize;
    size_t hits = 0;
    for (uintptr_t at = low; at + kWindow <= high; ++at) {
        const size_t i = at - here;
        for (size_t s = 0; s + kWindow <= secret->size; ++s) {
            size_t k = 0;
            while (k < kWindow && region[i + k] == secret->bytes[s + k])
                ++k;
            if (k == kWindow) {
                ++hits;
                break;
            }
        }
    }
    return hits;
}

// What a careless implementation does: a stack copy of the request that
// nobody clears.  The scan must find it, or it proves nothing.
__attribute__((noinline)) void leave_a_copy(const uint8_t *request, size_t size)
{
    uint8_t copy[64];
    std::memcpy(copy, request, size);
    asm volatile("" : : "r"(copy) : "memory"); // keep the stores
}

// Runs one call between painting and scanning the stack below this frame.
template <typename Call>
__attribute__((noinline)) size_t traces_after(const Secret &secret, Call call)
{
    uintptr_t painted = 0;
    stack_region(nullptr, &painted);
    call();
    uintptr_t scanned = painted;
    const size_t hits = stack_region(&secret, &scanned);
    return hits;
}

const uint8_t kPin[4] = {0x75, 0x2E, 0xC1, 0x5E};
const uint8_t kMasterKey[8] = {0x9A, 0x3C, 0xE1, 0x57, 0x0D, 0xB8, 0x64, 0xF2};

class StackScan : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (kSanitized)
            GTEST_SKIP() << "stack scanning needs the release build";
    }
    OpenToken token;
};

TEST_F(StackScan, FindsACopyLeftBehind)
{
    const Secret secret = {kMasterKey, sizeof kMasterKey};
    EXPECT_GT(traces_after(secret, [] { leave_a_copy(kMasterKey, sizeof kMasterKey); }), 0u);
}

TEST_F(StackScan, PinSentThroughTheExchangeLeavesNoTrace)
{
    const Secret secret = {kPin, sizeof kPin};
    uint32_t status = 0xFFFF;
    EXPECT_EQ(traces_after(secret,
                           [&] {
                               status = pyxo_exchange(&token.context, PYXO_CMD_VERIFY_PIN,
                                                      sizeof kPin, kPin, 1, nullptr);
                           }),
              0u);
    EXPECT_EQ(status, PYXO_OK);
    ASSERT_EQ(token.driver.commands().size(), 1u);
    EXPECT_EQ(token.driver.commands()[0].request(), std::vector<uint8_t>(kPin, kPin + 4));
}

TEST_F(StackScan, MasterKeySentThroughTheExchangeLeavesNoTrace)
{
    const Secret secret = {kMasterKey, sizeof kMasterKey};
    uint32_t status = 0xFFFF;
    EXPECT_EQ(traces_after(secret,
                           [&] {
                               status = pyxo_exchange(&token.context, PYXO_CMD_VERIFY_MASTER_KEY,
                                                      sizeof kMasterKey, kMasterKey, 1, nullptr);
                           }),
              0u);
    EXPECT_EQ(status, PYXO_OK);
    ASSERT_EQ(token.driver.commands().size(), 1u);
    EXPECT_EQ(token.driver.commands()[0].payload_length, 4);
}

TEST_F(StackScan, RefusedOrFailedExchangesLeaveNoTraceEither)
{
    const Secret secret = {kMasterKey, sizeof kMasterKey};
    DriverReply hang_up;
    hang_up.hang_up = true;
    token.driver.script_command(DriverReply::status(0x01));
    token.driver.script_command(hang_up);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(traces_after(secret,
                               [&] {
                                   pyxo_exchange(&token.context, PYXO_CMD_VERIFY_MASTER_KEY,
                                                 sizeof kMasterKey, kMasterKey, 1, nullptr);
                               }),
                  0u)
            << "exchange " << i;
    }
}

} // namespace
} // namespace vuxa_test
