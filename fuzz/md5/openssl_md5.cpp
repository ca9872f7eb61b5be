#define OPENSSL_SUPPRESS_DEPRECATED
#include "openssl_md5.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/md5.h>

#include <cstring>

void reference_md5(const uint8_t *data, size_t length, uint8_t digest[16])
{
    MD5(data, length, digest);
}

void reference_hmac_md5(const uint8_t *key, size_t key_length, const uint8_t *text,
                        size_t text_length, uint8_t digest[16])
{
    static const uint8_t no_key = 0;
    static const uint8_t no_text = 0;
    unsigned int length = 0;
    HMAC(EVP_md5(), key_length > 0 ? key : &no_key, int(key_length),
         text_length > 0 ? text : &no_text, text_length, digest, &length);
}

void reference_md5_transform(uint32_t state[4], const uint8_t block[64])
{
    MD5_CTX c{};
    c.A = state[0], c.B = state[1], c.C = state[2], c.D = state[3];
    MD5_Transform(&c, block);
    state[0] = c.A, state[1] = c.B, state[2] = c.C, state[3] = c.D;
}

void reference_md5_continue(const uint32_t state[4], const uint32_t count[2],
                            const uint8_t buffer[64], const uint8_t *input, size_t length,
                            uint8_t digest[16])
{
    MD5_CTX c{};
    c.A = state[0], c.B = state[1], c.C = state[2], c.D = state[3];
    c.Nl = count[0];
    c.Nh = count[1];
    c.num = (count[0] >> 3) & 63;
    memcpy(c.data, buffer, c.num);
    if (length > 0)
        MD5_Update(&c, input, length);
    MD5_Final(digest, &c);
}
