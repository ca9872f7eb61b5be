// OpenSSL's libcrypto as the independent implementation the tests compare
// with.  Its header declares an MD5_CTX of its own, so it is included only
// in openssl_reference.cpp, never beside pyxo.h.
#ifndef VUXA_TESTS_MD5_OPENSSL_REFERENCE_H
#define VUXA_TESTS_MD5_OPENSSL_REFERENCE_H

#include <cstddef>
#include <cstdint>

void openssl_md5_digest(const uint8_t *data, size_t length, uint8_t digest[16]);
void openssl_hmac_md5_digest(const uint8_t *key, size_t key_length, const uint8_t *text,
                             size_t text_length, uint8_t digest[16]);
// One compression of block into the chaining words state.
void openssl_md5_transform(uint32_t state[4], const uint8_t block[64]);

#endif
