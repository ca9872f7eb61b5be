// The three modes of the token's MD5 block operation, in one table.
#include "device/token_commands.h"
#include "tokenhash/hash_request.h"

namespace {

constexpr uint32_t kUnlimited = 0xFFFFFFFF;
// Mode 2: the block must leave room for the end marker; the token inserts
// the secret itself and counts the bits.
constexpr uint32_t kChapMaxLength = 52;

constexpr PYXO_HASH_MODE_ROW kModes[] = {
    // PYXO_HASH_MODE_RAW: one compression of a block the caller formatted,
    // from MD5's initial value; the token leaves out the final addition.
    {PYXO_CMD_HASH_RAW, PYXO_CHAINING_INITIAL_VALUE, PYXO_END_MARKER_NONE, false, kUnlimited,
     true},
    // PYXO_HASH_MODE_KEYED: the final block of an MD5 message whose first
    // block the selected file's chaining value stands for.
    {PYXO_CMD_HASH_KEYED, PYXO_CHAINING_ZERO, PYXO_END_MARKER_WHEN_ROOM, true, kUnlimited, false},
    // PYXO_HASH_MODE_CHAP: identifier, length byte and challenge; the token
    // adds the selected file's secret.
    {PYXO_CMD_HASH_CHAP, PYXO_CHAINING_INITIAL_VALUE, PYXO_END_MARKER_ALWAYS, false,
     kChapMaxLength, true},
};

static_assert(sizeof kModes / sizeof kModes[0] == PYXO_HASH_MODE_CHAP + 1);
// The end marker of mode 2 goes at block byte [length], always inside.
static_assert(kChapMaxLength < MD5_BLOCK_SIZE);

} // namespace

const PYXO_HASH_MODE_ROW *pyxo_hash_mode(uint32_t mode)
{
    const uint32_t index = mode & PYXO_HASH_MODE_MASK;
    if (index >= sizeof kModes / sizeof kModes[0])
        return nullptr;
    return &kModes[index];
}
