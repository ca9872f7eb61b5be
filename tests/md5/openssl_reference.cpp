#define OPENSSL_SUPPRESS_DEPRECATED
#include "openssl_reference.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/md5.h>

void openssl_md5_digest(const uint8_t *data, size_t length, uint8_t digest[16])
{
    MD5(data, length, digest);
}

void openssl_hmac_md5_digest(const uint8_t *key, size_t key_length, const uint8_t *text,
                             size_t text_length, uint8_t digest[16])
{
    static const uint8_t no_key = 0;
    unsigned int length = 0;
    HMAC(EVP_md5(), key_length ? key : &no_key, (int)key_length, text, text_length, digest,
         &length);
}

void openssl_md5_transform(uint32_t state[4], const uint8_t block[64])
{
    MD5_CTX c{};
    c.A = state[0], c.B = state[1], c.C = state[2], c.D = state[3];
    MD5_Transform(&c, block);
    state[0] = c.A, state[1] = c.B, state[2] = c.C, state[3] = c.D;
}
