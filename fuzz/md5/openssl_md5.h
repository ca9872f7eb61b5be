// OpenSSL's libcrypto as the independent MD5 the md5 target compares
// with.  Its header declares an MD5_CTX of its own, so it is included only
// in openssl_md5.cpp, never beside pyxo.h.
#ifndef VUXA_FUZZ_OPENSSL_MD5_H
#define VUXA_FUZZ_OPENSSL_MD5_H

#include <cstddef>
#include <cstdint>

void reference_md5(const uint8_t *data, size_t length, uint8_t digest[16]);
void reference_hmac_md5(const uint8_t *key, size_t key_length, const uint8_t *text,
                        size_t text_length, uint8_t digest[16]);
// One compression of block into the chaining words state.
void reference_md5_transform(uint32_t state[4], const uint8_t block[64]);
// Goes on from any computation in progress: chaining words, 64-bit bit
// count and the pending bytes of buffer, as an MD5_CTX holds them; adds
// input and finishes.
void reference_md5_continue(const uint32_t state[4], const uint32_t count[2],
                            const uint8_t buffer[64], const uint8_t *input, size_t length,
                            uint8_t digest[16]);

#endif
