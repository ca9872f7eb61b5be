// OpenSSL's libcrypto as the independent MD5 the hash modes are checked
// against.  Its header declares an MD5_CTX of its own, so only
// openssl_md5.cpp includes it.
#ifndef VUXA_TEST_OPENSSL_MD5_H
#define VUXA_TEST_OPENSSL_MD5_H

#include <array>
#include <cstdint>
#include <vector>

namespace vuxa_test {

using Digest = std::array<uint8_t, 16>;

// One compression with the chaining value added back.
void openssl_transform(uint32_t state[4], const uint8_t block[64]);
Digest openssl_md5(const std::vector<uint8_t> &data);
Digest openssl_hmac_md5(const std::vector<uint8_t> &key, const std::vector<uint8_t> &text);

} // namespace vuxa_test

#endif
