// HMAC-MD5 of RFC 2104, handing out the chaining states after the inner
// and the outer key block (the precomputed values of its section 4).
#include "md5/md5_internal.h"
#include "util/bytes.h"
#include "util/wipe.h"

namespace {

constexpr uint32_t kInnerPad = 0x36363636;        // the byte 0x36 in each lane
constexpr uint32_t kOuterPad = 0x5C5C5C5C;        // the byte 0x5C in each lane
constexpr int32_t kMaxKeyLength = MD5_BLOCK_SIZE; // longer keys are hashed first
constexpr uint32_t kOuterBits = (MD5_BLOCK_SIZE + MD5_DIGEST_SIZE) * 8; // outer message

// A key longer than a block is replaced by its MD5, through a record of
// its own; the record and the stack below, which held words of the key,
// are cleared.
void hash_key(const uint8_t *key, uint32_t key_length, uint8_t hashed_key[MD5_DIGEST_SIZE])
{
    MD5_CTX context;
    MD5Init(&context);
    MD5Update(&context, key, key_length);
    MD5Final(hashed_key, &context);
    pyxo_wipe(&context, sizeof context);
    md5_clear_stack();
}

// The key as a block of words, zero beyond its length.
void load_key_block(uint32_t block[MD5_BLOCK_WORDS], const uint8_t *key, int32_t key_length)
{
    if (key_length <= kMaxKeyLength) {
        md5_load_words(block, key, key_length > 0 ? (uint32_t)key_length : 0);
        return;
    }
    uint8_t hashed_key[MD5_DIGEST_SIZE];
    hash_key(key, (uint32_t)key_length, hashed_key);
    md5_load_words(block, hashed_key, MD5_DIGEST_SIZE);
    pyxo_wipe(hashed_key, sizeof hashed_key);
}

void set_initial_state(uint32_t state[4])
{
    for (int i = 0; i < 4; i++)
        state[i] = md5_initial_state[i];
}

} // namespace

// One block of key words serves as both pads: XOR 0x36 for the inner hash,
// turned into XOR 0x5C for the outer one.  The outer hash is one block:
// the inner digest, read back from digest, and its padding.  The pad, the
// inner state and the inner digest are wiped before returning (the outer
// state ends as the HMAC).  The compressions of both key blocks and of the
// outer block are called from here, at one depth, so that the last, over
// words that are no secret, overwrites what the first two spilled.
extern "C" PYXO_API uint8_t *PYXO_CALL HMAC_MD5(const uint8_t *text, uint32_t text_length,
                                                const uint8_t *key, int32_t key_length,
                                                uint8_t *inner_state, uint8_t *outer_state,
                                                uint8_t *digest)
{
    uint32_t pad[MD5_BLOCK_WORDS];
    load_key_block(pad, key, key_length);
    for (uint32_t i = 0; i < MD5_BLOCK_WORDS; i++)
        pad[i] ^= kInnerPad;
    uint32_t inner[4];
    set_initial_state(inner);
    md5_transform(inner, pad);
    if (inner_state)
        md5_encode_state(inner_state, inner);
    md5_finish(inner, MD5_BLOCK_SIZE, text, text_length, digest);

    for (uint32_t i = 0; i < MD5_BLOCK_WORDS; i++)
        pad[i] ^= kInnerPad ^ kOuterPad;
    uint32_t outer[4];
    set_initial_state(outer);
    md5_transform(outer, pad);
    if (outer_state)
        md5_encode_state(outer_state, outer);
    pyxo_wipe(pad, sizeof pad);

    uint32_t block[MD5_BLOCK_WORDS] = {};
    for (uint32_t i = 0; i < 4; i++)
        block[i] = get_le32(digest + 4 * i);
    block[4] = md5_padding[0];
    block[MD5_LENGTH_WORD] = kOuterBits;
    md5_transform(outer, block);
    md5_encode_state(digest, outer);
    pyxo_wipe(inner, sizeof inner);
    pyxo_wipe(block, MD5_DIGEST_SIZE); // the inner digest
    return digest;
}
