// The three hash modes, computed with the key material of the selected
// key file, which never leaves the token.  The request is a 16-byte
// chaining field and one 64-byte message block.
#include <string.h>

#include "access.h"
#include "commands.h"
#include "file_rights.h"
#include "fs.h"
#include "pyxo.h"
#include "request.h"
#include "util/wipe.h"

namespace vtd {

namespace {

constexpr uint32_t kChainSize = 16;
constexpr uint32_t kBlockSize = 64;
constexpr uint32_t kHashRequest = kChainSize + kBlockSize;
constexpr uint32_t kKeyedStateWords = 8; // a key file's first 16 bytes
constexpr uint32_t kKeyBlockBits = 512;  // the key block behind a key file's state
constexpr uint8_t kEndMarker = 0x80;
constexpr uint32_t kMd5Initial[4] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476};

// The state as 16 bytes, less base word by word (the library adds it back).
void put_state_less(uint8_t *out, const uint32_t state[4], const uint32_t base[4])
{
    for (int i = 0; i < 4; i++)
        put_le32(out + 4 * i, state[i] - base[i]);
}

// The selected file, when it is a key file the session may use: its index
// in *index, or the refusal.
uint8_t usable_key_file(const Token &token, int *index)
{
    if (token.selected == kNoSelection)
        return kStatusNoSelection;
    const Entry &file = token.entries[token.selected];
    if (file.type != kTypeKey)
        return kStatusWrongType;
    *index = token.selected;
    return check_condition(token, use_condition(file));
}

// MD5 of (identifier, secret, challenge); the secret file holds the
// secret's byte count in its first word and the secret after it.
uint8_t chap(const uint8_t *block, const uint8_t *file, uint32_t file_bytes, uint8_t digest[16])
{
    const uint32_t challenge = block[1];
    if (2 + challenge >= kBlockSize || block[2 + challenge] != kEndMarker)
        return kStatusBadParameter;
    const uint32_t secret = get_le16(file);
    if (secret > file_bytes - 2)
        return kStatusBadParameter;
    MD5_CTX ctx;
    MD5Init(&ctx);
    MD5Update(&ctx, block, 1);
    MD5Update(&ctx, file + 2, secret);
    MD5Update(&ctx, block + 2, challenge);
    MD5Final(digest, &ctx);
    pyxo_wipe(&ctx, sizeof ctx);
    return kStatusOk;
}

} // namespace

// Mode 0: the 64 steps over the block from the chaining field, without
// adding the chaining value back.
uint8_t cmd_hash_raw(Token &, Exchange &ex)
{
    if (!request_is(ex, kHashRequest))
        return kStatusBadParameter;
    MD5_CTX ctx = {};
    uint32_t chain[4];
    for (int i = 0; i < 4; i++)
        chain[i] = ctx.state[i] = get_le32(ex.request + 4 * i);
    MD5Update(&ctx, ex.request + kChainSize, kBlockSize);
    put_state_less(answer_data(ex, kChainSize), ctx.state, chain);
    pyxo_wipe(&ctx, sizeof ctx);
    return kStatusOk;
}

// Mode 1: MD5 resumed from the state the key file holds, one key block
// already counted; the chaining field is not used.
uint8_t cmd_hash_keyed(Token &token, Exchange &ex)
{
    if (!request_is(ex, kHashRequest))
        return kStatusBadParameter;
    int index = 0;
    const uint8_t status = usable_key_file(token, &index);
    if (status != kStatusOk)
        return status;
    const Entry &file = token.entries[index];
    if (file.words < kKeyedStateWords)
        return kStatusBadParameter;
    MD5_CTX ctx = {};
    const uint8_t *state = file_bytes(token, file);
    for (int i = 0; i < 4; i++)
        ctx.state[i] = get_le32(state + 4 * i);
    ctx.count[0] = kKeyBlockBits;
    MD5Update(&ctx, ex.request + kChainSize, kBlockSize);
    uint8_t *a = answer_data(ex, kChainSize);
    for (int i = 0; i < 4; i++)
        put_le32(a + 4 * i, ctx.state[i]);
    pyxo_wipe(&ctx, sizeof ctx);
    spend_condition(token, use_condition(file));
    return kStatusOk;
}

// Mode 2: the CHAP response from the block (identifier, challenge length,
// challenge, 0x80) and the secret file, less the MD5 initial value; the
// chaining field is not used.
uint8_t cmd_hash_chap(Token &token, Exchange &ex)
{
    if (!request_is(ex, kHashRequest))
        return kStatusBadParameter;
    int index = 0;
    uint8_t status = usable_key_file(token, &index);
    if (status != kStatusOk)
        return status;
    const Entry &file = token.entries[index];
    uint8_t digest[16];
    status = chap(ex.request + kChainSize, file_bytes(token, file), 2u * file.words, digest);
    if (status != kStatusOk)
        return status;
    uint32_t words[4];
    for (int i = 0; i < 4; i++)
        words[i] = get_le32(digest + 4 * i);
    put_state_less(answer_data(ex, kChainSize), words, kMd5Initial);
    pyxo_wipe(digest, sizeof digest);
    spend_condition(token, use_condition(file));
    return kStatusOk;
}

} // namespace vtd
