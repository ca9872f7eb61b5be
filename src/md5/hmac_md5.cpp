// HMAC-MD5 of RFC 2104, handing out the chaining states after the inner
// and the outer key block (the precomputed values of its section 4).
#include "md5/md5_internal.h"
#include "util/wipe.h"

namespace {

constexpr uint32_t kInnerPad = 0x36363636;        // the byte 0x36 in each lane
constexpr uint32_t kOuterPad = 0x5C5C5C5C;        // the byte 0x5C in each lane
constexpr int32_t kMaxKeyLength = MD5_BLOCK_SIZE; // longer keys are hashed first

// Compresses the key block (x) from the initial state into state and
// hands the result out when out is not null.
void key_block_state(uint32_t state[4], const uint32_t x[MD5_BLOCK_WORDS], uint8_t *out)
{
    for (int i = 0; i < 4; i++)
        state[i] = md5_initial_state[i];
    md5_transform(state, x);
    if (out)
        md5_encode_state(out, state);
}

// A key longer than a block is replaced by its MD5, through a record of
// its own that is wiped: its buffer held the end of the key.
void hash_key(const uint8_t *key, uint32_t key_length, uint8_t hashed_key[MD5_DIGEST_SIZE])
{
    MD5_CTX context;
    MD5Init(&context);
    MD5Update(&context, key, key_length);
    MD5Final(hashed_key, &context);
    pyxo_wipe(&context, sizeof context);
}

} // namespace

// One block of key words serves as both pads: built XOR 0x36 for the inner
// hash, turned into XOR 0x5C for the outer one.  The pad, the hashed key
// and the state (which held the key-block states, as good as the key) are
// wiped before returning: nothing of the key stays on the stack.
extern "C" PYXO_API uint8_t *PYXO_CALL HMAC_MD5(const uint8_t *text, uint32_t text_length,
                                                const uint8_t *key, int32_t key_length,
                                                uint8_t *inner_state, uint8_t *outer_state,
                                                uint8_t *digest)
{
    uint8_t hashed_key[MD5_DIGEST_SIZE];
    if (key_length > kMaxKeyLength) {
        hash_key(key, (uint32_t)key_length, hashed_key);
        key = hashed_key;
        key_length = MD5_DIGEST_SIZE;
    }
    uint32_t pad[MD5_BLOCK_WORDS];
    md5_load_words(pad, key, key_length > 0 ? (uint32_t)key_length : 0);
    pyxo_wipe(hashed_key, sizeof hashed_key);
    for (uint32_t i = 0; i < MD5_BLOCK_WORDS; i++)
        pad[i] ^= kInnerPad;

    uint32_t state[4];
    key_block_state(state, pad, inner_state);
    md5_finish(state, MD5_BLOCK_SIZE, text, text_length, digest);

    for (uint32_t i = 0; i < MD5_BLOCK_WORDS; i++)
        pad[i] ^= kInnerPad ^ kOuterPad;
    key_block_state(state, pad, outer_state);
    md5_finish(state, MD5_BLOCK_SIZE, digest, MD5_DIGEST_SIZE, digest);

    pyxo_wipe(pad, sizeof pad);
    pyxo_wipe(state, sizeof state);
    return digest;
}
