// The CHAP-MD5 response of RFC 1994: MD5 of identifier, secret, challenge.
#include "md5/md5_internal.h"
#include "util/wipe.h"

// The record's buffer held the secret, and the compressions below spilled
// words of it: both are cleared before returning.
extern "C" PYXO_API uint8_t *PYXO_CALL CHAP_MD5(uint32_t identifier, const uint8_t *secret,
                                                uint32_t secret_length, const uint8_t *challenge,
                                                uint32_t challenge_length, uint8_t *digest)
{
    const uint8_t id = (uint8_t)identifier;
    MD5_CTX context;
    MD5Init(&context);
    MD5Update(&context, &id, 1);
    MD5Update(&context, secret, secret_length);
    MD5Update(&context, challenge, challenge_length);
    MD5Final(digest, &context);
    pyxo_wipe(&context, sizeof context);
    md5_clear_stack();
    return digest;
}
