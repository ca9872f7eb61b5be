// The MD5 compression function of RFC 1321, section 3.4, with its tables.
#include "md5/md5_internal.h"
#include "util/bytes.h"

namespace {

// T[i] = floor(2^32 * |sin(i + 1)|): the additive constant of each step.
constexpr uint32_t kSine[64] = {
    0xD76AA478, 0xE8C7B756, 0x242070DB, 0xC1BDCEEE, 0xF57C0FAF, 0x4787C62A, 0xA8304613, 0xFD469501,
    0x698098D8, 0x8B44F7AF, 0xFFFF5BB1, 0x895CD7BE, 0x6B901122, 0xFD987193, 0xA679438E, 0x49B40821,
    0xF61E2562, 0xC040B340, 0x265E5A51, 0xE9B6C7AA, 0xD62F105D, 0x02441453, 0xD8A1E681, 0xE7D3FBC8,
    0x21E1CDE6, 0xC33707D6, 0xF4D50D87, 0x455A14ED, 0xA9E3E905, 0xFCEFA3F8, 0x676F02D9, 0x8D2A4C8A,
    0xFFFA3942, 0x8771F681, 0x6D9D6122, 0xFDE5380C, 0xA4BEEA44, 0x4BDECFA9, 0xF6BB4B60, 0xBEBFBC70,
    0x289B7EC6, 0xEAA127FA, 0xD4EF3085, 0x04881D05, 0xD9D4D039, 0xE6DB99E5, 0x1FA27CF8, 0xC4AC5665,
    0xF4292244, 0x432AFF97, 0xAB9423A7, 0xFC93A039, 0x655B59C3, 0x8F0CCC92, 0xFFEFF47D, 0x85845DD1,
    0x6FA87E4F, 0xFE2CE6E0, 0xA3014314, 0x4E0811A1, 0xF7537E82, 0xBD3AF235, 0x2AD7D2BB, 0xEB86D391,
};

// Left rotation of each step, by round and by step within a group of four.
constexpr uint8_t kShift[4][4] = {
    {7, 12, 17, 22},
    {5, 9, 14, 20},
    {4, 11, 16, 23},
    {6, 10, 15, 21},
};

// The message word each step adds.
constexpr uint8_t kWord[64] = {
    0, 1, 2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, //
    1, 6, 11, 0,  5,  10, 15, 4,  9,  14, 3,  8,  13, 2,  7,  12, //
    5, 8, 11, 14, 1,  4,  7,  10, 13, 0,  3,  6,  9,  12, 15, 2,  //
    0, 7, 14, 5,  12, 3,  10, 1,  8,  15, 6,  13, 4,  11, 2,  9,  //
};

constexpr int kSteps = 64;
constexpr int kStepsPerRound = 16;

inline uint32_t rotl(uint32_t v, unsigned s)
{
    return v << s | v >> (32 - s);
}

// Step I: a = b + ((a + f(b, c, d) + x[k] + T[I]) <<< s), where the roles
// of the four words rotate by one each step.  b is the word the previous
// step produced, so everything that does not need it is summed first, and
// each auxiliary function lets b in as late as it can: F as d ^ (b & (c ^ d)),
// G as (c & ~d) + (b & d) (the two terms share no bit), H as b ^ (c ^ d)
// and I as c ^ (b | ~d).
template <int I>
[[gnu::always_inline]] inline void step(uint32_t v[4], const uint32_t x[MD5_BLOCK_WORDS])
{
    uint32_t &a = v[(kSteps - I) % 4];
    const uint32_t b = v[(kSteps + 1 - I) % 4];
    const uint32_t c = v[(kSteps + 2 - I) % 4];
    const uint32_t d = v[(kSteps + 3 - I) % 4];
    const uint32_t early = a + x[kWord[I]] + kSine[I];
    uint32_t sum;
    if constexpr (I < kStepsPerRound)
        sum = early + (d ^ (b & (c ^ d)));
    else if constexpr (I < 2 * kStepsPerRound)
        sum = early + (c & ~d) + (b & d);
    else if constexpr (I < 3 * kStepsPerRound)
        sum = early + (b ^ (c ^ d));
    else
        sum = early + (c ^ (b | ~d));
    a = b + rotl(sum, kShift[I / kStepsPerRound][I % 4]);
}

template <int I>
[[gnu::always_inline]] inline void steps(uint32_t v[4], const uint32_t x[MD5_BLOCK_WORDS])
{
    if constexpr (I < kSteps) {
        step<I>(v, x);
        steps<I + 1>(v, x);
    }
}

// The chaining words are passed as four scalars rather than an array, so
// the compiler keeps them in registers and does not gather them into a
// vector register between blocks, which would lengthen the chain.
[[gnu::always_inline]] inline void compress(uint32_t &a, uint32_t &b, uint32_t &c, uint32_t &d,
                                            const uint32_t x[MD5_BLOCK_WORDS])
{
    uint32_t v[4] = {a, b, c, d};
    steps<0>(v, x);
    a += v[0];
    b += v[1];
    c += v[2];
    d += v[3];
}

} // namespace

void md5_transform(uint32_t state[4], const uint32_t x[MD5_BLOCK_WORDS])
{
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    compress(a, b, c, d, x);
    state[0] = a;
    state[1] = b;
    state[2] = c;
    state[3] = d;
}

void md5_transform_blocks(uint32_t state[4], const uint8_t *data, size_t blocks)
{
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (; blocks != 0; blocks--, data += MD5_BLOCK_SIZE) {
        uint32_t x[MD5_BLOCK_WORDS];
        for (uint32_t i = 0; i < MD5_BLOCK_WORDS; i++)
            x[i] = get_le32(data + 4 * i);
        compress(a, b, c, d, x);
    }
    state[0] = a;
    state[1] = b;
    state[2] = c;
    state[3] = d;
}
