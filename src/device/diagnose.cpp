// Pyxo_Diagnose: the token's self-test and, for tokens of more than one
// 512-byte block, its memory test.
#include "device/exchange.h"
#include "device/token_commands.h"
#include "util/bytes.h"

namespace {

// The six-byte answer of command 2.
enum : uint32_t {
    kValue = 0,      // 16 bits handed to the caller unchanged
    kSelfTest = 2,   // 0xFF: passed
    kMemoryTest = 4, // 0xFF: passed
    kMemoryBlocks = 5,
    kAnswerSize = 6,
};

constexpr uint8_t kPassed = 0xFF;
constexpr uint32_t kBlockSize = 512;
constexpr uint16_t kAllPassed = 0xFFFF;

bool memory_test_passed(const uint8_t *answer, uint32_t memory_size)
{
    if (memory_size <= kBlockSize)
        return true; // a single block is not tested
    return answer[kMemoryTest] == kPassed && answer[kMemoryBlocks] == memory_size / kBlockSize;
}

} // namespace

uint32_t PYXO_CALL Pyxo_Diagnose(PYXO_CONTEXT *context, uint16_t result[2])
{
    uint8_t answer[kAnswerSize];
    const uint32_t status =
        pyxo_exchange(context, PYXO_CMD_DIAGNOSE, 0, nullptr, kAnswerSize, answer);
    if (status != PYXO_OK)
        return status;
    result[0] = (uint16_t)get_le16(answer + kValue);
    if (answer[kSelfTest] != kPassed) {
        result[1] = answer[kSelfTest];
        return PYXO_ERR_SELFTEST;
    }
    if (!memory_test_passed(answer, context->memory_size)) {
        result[1] = (uint16_t)get_le16(answer + kMemoryTest);
        return PYXO_ERR_MEMORY;
    }
    result[1] = kAllPassed;
    return PYXO_OK;
}
