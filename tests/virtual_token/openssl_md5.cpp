#define OPENSSL_SUPPRESS_DEPRECATED
#include "openssl_md5.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/md5.h>

namespace vuxa_test {

void openssl_transform(uint32_t state[4], const uint8_t block[64])
{
    MD5_CTX c{};
    c.A = state[0], c.B = state[1], c.C = state[2], c.D = state[3];
    MD5_Transform(&c, block);
    state[0] = c.A, state[1] = c.B, state[2] = c.C, state[3] = c.D;
}

Digest openssl_md5(const std::vector<uint8_t> &data)
{
    Digest d{};
    MD5(data.data(), data.size(), d.data());
    return d;
}

Digest openssl_hmac_md5(const std::vector<uint8_t> &key, const std::vector<uint8_t> &text)
{
    static const uint8_t no_key = 0;
    Digest d{};
    unsigned int length = 0;
    HMAC(EVP_md5(), key.empty() ? &no_key : key.data(), int(key.size()), text.data(), text.size(),
         d.data(), &length);
    return d;
}

} // namespace vuxa_test
