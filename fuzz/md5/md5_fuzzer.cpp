// Fuzz target md5: the host digests against OpenSSL's libcrypto.
//  - MD5Init/MD5Update/MD5Final over a message cut into fuzz-chosen
//    pieces, the record checked after every call (bit count, pending
//    bytes, untouched reserved area) and the digest against OpenSSL's;
//  - MD5Update and MD5Final on a record that never saw MD5Init, which must
//    go on from whatever it holds exactly as OpenSSL would;
//  - MD5_Hash; HMAC_MD5 with any key length, negative ones included, and
//    its two precomputed states, from which MD5 resumed must give the
//    same HMAC; CHAP_MD5.
// Every buffer is a heap buffer of exactly the length passed with it.
#include <cstring>
#include <vector>

#include "exact_buffer.h"
#include "fuzz_check.h"
#include "fuzz_input.h"
#include "openssl_md5.h"
#include "pyxo.h"

namespace {

constexpr size_t kDigestSize = 16;
constexpr uint32_t kBlockSize = 64;
constexpr uint32_t kMaxPieces = 16;

bool same_digest(const uint8_t *a, const uint8_t *b)
{
    return memcmp(a, b, kDigestSize) == 0;
}

void encode_state(const uint32_t state[4], uint8_t out[16])
{
    for (int i = 0; i < 4; ++i) {
        for (int b = 0; b < 4; ++b)
            out[4 * i + b] = uint8_t(state[i] >> (8 * b));
    }
}

ExactBuffer rest_of(FuzzInput &in)
{
    return ExactBuffer(in.remaining(), in);
}

// The record after hashing total bytes: the bit count, and the last
// total % 64 bytes of the message waiting in buffer.
void check_progress(const MD5_CTX &c, const uint8_t *message, uint64_t total,
                    const uint8_t reserved[16])
{
    FUZZ_CHECK(c.count[0] == uint32_t(total << 3) && c.count[1] == uint32_t(total >> 29),
               "MD5Update: the bit count");
    const size_t pending = total % kBlockSize;
    FUZZ_CHECK(memcmp(c.buffer, message + total - pending, pending) == 0,
               "MD5Update: the pending bytes");
    FUZZ_CHECK(memcmp(c.reserved, reserved, sizeof c.reserved) == 0, "reserved never written");
}

void incremental(FuzzInput &in)
{
    uint32_t cuts[kMaxPieces];
    const uint32_t pieces = in.u8() % kMaxPieces;
    for (uint32_t i = 0; i < pieces; ++i)
        cuts[i] = in.count(2 * kBlockSize + 1);
    const ExactBuffer message = rest_of(in);

    ExactBuffer record(sizeof(MD5_CTX)); // buffer and reserved start as garbage
    auto *c = (MD5_CTX *)record.data();
    uint8_t reserved[16];
    memcpy(reserved, c->reserved, sizeof reserved);
    MD5Init(c);
    size_t done = 0;
    for (uint32_t i = 0; i <= pieces; ++i) {
        const size_t left = message.size() - done;
        const size_t n = i == pieces ? left : (cuts[i] < left ? cuts[i] : left);
        ExactBuffer piece(n); // exactly this piece, so a read past it is seen
        memcpy(piece.data(), message.data() + done, n);
        MD5Update(c, piece.data(), uint32_t(n));
        done += n;
        check_progress(*c, message.data(), done, reserved);
    }
    ExactBuffer digest(kDigestSize);
    MD5Final(digest.data(), c);
    uint8_t expected[kDigestSize];
    reference_md5(message.data(), message.size(), expected);
    FUZZ_CHECK(same_digest(digest.data(), expected), "MD5 of the pieces");
    uint8_t state[kDigestSize];
    encode_state(c->state, state);
    FUZZ_CHECK(same_digest(state, expected), "MD5Final leaves the digest in state");
    const uint64_t index = done % kBlockSize;
    const uint64_t padded = done + (index < 56 ? 56 - index : 120 - index);
    FUZZ_CHECK(c->count[0] == uint32_t(padded << 3) && c->count[1] == uint32_t(padded >> 29),
               "MD5Final: the count includes the padding");
    FUZZ_CHECK(memcmp(c->reserved, reserved, sizeof reserved) == 0, "reserved never written");
}

// A record that never saw MD5Init goes on from what it holds.
void without_init(FuzzInput &in)
{
    ExactBuffer record(sizeof(MD5_CTX), in);
    auto *c = (MD5_CTX *)record.data();
    const ExactBuffer message = rest_of(in);
    uint8_t expected[kDigestSize];
    reference_md5_continue(c->state, c->count, c->buffer, message.data(), message.size(),
                           expected);
    MD5Update(c, message.data(), uint32_t(message.size()));
    ExactBuffer digest(kDigestSize);
    MD5Final(digest.data(), c);
    FUZZ_CHECK(same_digest(digest.data(), expected), "MD5 continued from any record");
}

void one_shot(FuzzInput &in)
{
    const ExactBuffer message = rest_of(in);
    ExactBuffer digest(kDigestSize);
    uint8_t expected[kDigestSize];
    reference_md5(message.data(), message.size(), expected);
    FUZZ_CHECK(MD5_Hash(message.data(), uint32_t(message.size()), digest.data()) == digest.data(),
               "MD5_Hash returns its digest");
    FUZZ_CHECK(same_digest(digest.data(), expected), "MD5_Hash");
}

// MD5 resumed from a state after one block, over input: what the token
// does with a key file.
void resume(const uint8_t state[16], const uint8_t *input, uint32_t length, uint8_t digest[16])
{
    MD5_CTX c;
    MD5Init(&c);
    for (int i = 0; i < 4; ++i)
        c.state[i] = uint32_t(state[4 * i]) | uint32_t(state[4 * i + 1]) << 8 |
                     uint32_t(state[4 * i + 2]) << 16 | uint32_t(state[4 * i + 3]) << 24;
    c.count[0] = kBlockSize * 8;
    MD5Update(&c, input, length);
    MD5Final(digest, &c);
}

void check_key_state(const uint8_t *key, size_t key_length, uint8_t pad, const uint8_t *state)
{
    uint8_t k0[kBlockSize] = {};
    if (key_length > kBlockSize)
        reference_md5(key, key_length, k0);
    else if (key_length > 0)
        memcpy(k0, key, key_length);
    for (uint8_t &byte : k0)
        byte ^= pad;
    uint32_t words[4] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476};
    reference_md5_transform(words, k0);
    uint8_t expected[kDigestSize];
    encode_state(words, expected);
    FUZZ_CHECK(same_digest(state, expected), "HMAC_MD5: state after the key block");
}

void hmac(FuzzInput &in)
{
    const bool negative = in.u8() % 8 == 0;
    const int32_t key_length = negative ? int32_t(in.u32() | 0x80000000u)
                                        : int32_t(in.below(uint32_t(in.remaining()) + 1));
    const ExactBuffer key(key_length > 0 ? size_t(key_length) : 0, in);
    const bool with_states = in.flag();
    const ExactBuffer text = rest_of(in);
    ExactBuffer inner(kDigestSize), outer(kDigestSize), digest(kDigestSize);
    const uint8_t *result =
        HMAC_MD5(text.data(), uint32_t(text.size()), key.data(), key_length,
                 with_states ? inner.data() : nullptr, with_states ? outer.data() : nullptr,
                 digest.data());
    FUZZ_CHECK(result == digest.data(), "HMAC_MD5 returns its digest");
    uint8_t expected[kDigestSize];
    reference_hmac_md5(key.data(), key.size(), text.data(), text.size(), expected);
    FUZZ_CHECK(same_digest(digest.data(), expected), "HMAC_MD5");
    if (!with_states)
        return;
    check_key_state(key.data(), key.size(), 0x36, inner.data());
    check_key_state(key.data(), key.size(), 0x5C, outer.data());
    uint8_t inner_digest[kDigestSize], resumed[kDigestSize];
    resume(inner.data(), text.data(), uint32_t(text.size()), inner_digest);
    resume(outer.data(), inner_digest, kDigestSize, resumed);
    FUZZ_CHECK(same_digest(resumed, expected), "HMAC from the precomputed states");
}

void chap(FuzzInput &in)
{
    const uint32_t identifier = in.u32();
    const ExactBuffer secret(in.below(uint32_t(in.remaining()) + 1), in);
    const ExactBuffer challenge = rest_of(in);
    ExactBuffer digest(kDigestSize);
    FUZZ_CHECK(CHAP_MD5(identifier, secret.data(), uint32_t(secret.size()), challenge.data(),
                        uint32_t(challenge.size()), digest.data()) == digest.data(),
               "CHAP_MD5 returns its digest");
    std::vector<uint8_t> message{uint8_t(identifier)};
    message.insert(message.end(), secret.data(), secret.data() + secret.size());
    message.insert(message.end(), challenge.data(), challenge.data() + challenge.size());
    uint8_t expected[kDigestSize];
    reference_md5(message.data(), message.size(), expected);
    FUZZ_CHECK(same_digest(digest.data(), expected), "CHAP_MD5");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput in(data, size);
    switch (in.u8() % 5) {
    case 0:
        incremental(in);
        break;
    case 1:
        without_init(in);
        break;
    case 2:
        one_shot(in);
        break;
    case 3:
        hmac(in);
        break;
    default:
        chap(in);
        break;
    }
    return 0;
}
