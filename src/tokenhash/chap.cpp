// Pyxo_CHAP_MD5: the CHAP response with MD5 (RFC 1994), MD5 of identifier,
// secret and challenge, with the secret held in a file on the token.  The
// host sends identifier, challenge length and challenge; the token puts the
// secret in between and finishes the digest.
#include <string.h>

#include "tokenhash/hash_request.h"
#include "util/wipe.h"

namespace {

// Mode 2 takes 52 bytes: the identifier, the length byte and the challenge.
constexpr uint32_t kChapHeaderSize = 2;
constexpr int32_t kMaxChallenge = 50;
constexpr uint32_t kChapBlockSize = kChapHeaderSize + kMaxChallenge;

} // namespace

extern "C" PYXO_API uint32_t PYXO_CALL Pyxo_CHAP_MD5(PYXO_CONTEXT *context, uint32_t dir_id,
                                                     uint32_t file_id, uint32_t identifier,
                                                     const uint8_t *challenge,
                                                     int32_t challenge_length, uint8_t digest[16])
{
    // A negative length is refused as an invalid argument, not as too long.
    if (challenge_length < 0)
        return PYXO_ERR_INVALID_PARAMETER;
    if (challenge_length > kMaxChallenge)
        return PYXO_ERR_DATA_TOO_LONG;
    const uint32_t status = Pyxo_SelectFile(context, dir_id, file_id);
    if (status != PYXO_OK)
        return status;
    const uint32_t n = (uint32_t)challenge_length;
    uint8_t block[kChapBlockSize];
    block[0] = (uint8_t)identifier;
    block[1] = (uint8_t)n;
    if (n > 0)
        memcpy(block + kChapHeaderSize, challenge, n);
    const uint32_t hashed =
        Pyxo_HashToken(context, PYXO_HASH_MODE_CHAP, block, kChapHeaderSize + n, digest);
    pyxo_wipe(block, sizeof block);
    return hashed;
}
