// HMAC_MD5 and CHAP_MD5 leave no key material behind on the stack: the
// key pads, the hashed key, the key-block state and the record that held a
// secret are wiped before they return.  The probe reads the stack just
// below the caller's frame, where the callee's frames were; a control run
// that leaves a pattern there shows that the probe can see it.
#include <gtest/gtest.h>

#include <algorithm>

#include "md5_test_support.h"

namespace {

constexpr size_t kProbeSize = 16384;

// Clears the stack region the later calls and the probe use.
[[gnu::noinline]] void scrub_stack()
{
    volatile uint8_t area[kProbeSize];
    for (size_t i = 0; i < kProbeSize; i++)
        area[i] = 0;
}

// Returns a copy of the stack region below the caller's frame.
[[gnu::noinline]] Bytes stack_below()
{
    volatile uint8_t area[kProbeSize];
    Bytes copy(kProbeSize);
    for (size_t i = 0; i < kProbeSize; i++)
        copy[i] = area[i];
    return copy;
}

// Whether any four consecutive bytes of the secret occur: a copy of part
// of a key, or one spilled word of it, is a leak too.
bool holds(const Bytes &haystack, const Bytes &secret)
{
    constexpr size_t kWindow = 4;
    for (size_t i = 0; i + kWindow <= secret.size(); i++)
        if (std::search(haystack.begin(), haystack.end(), secret.begin() + i,
                        secret.begin() + i + kWindow) != haystack.end())
            return true;
    return false;
}

// What a careless function would leave: a 16-byte pattern in its frame.
[[gnu::noinline]] void leave_pattern(const Bytes &pattern)
{
    volatile uint8_t local[64];
    for (size_t i = 0; i < 64; i++)
        local[i] = pattern[i % 16];
}

[[gnu::noinline]] void run_hmac(const Bytes &key)
{
    const Bytes text = bytes_of("0123456789abcdef");
    uint8_t digest[16];
    HMAC_MD5(text.data(), 16, key.data(), (int32_t)key.size(), nullptr, nullptr, digest);
}

[[gnu::noinline]] void run_chap(const Bytes &secret)
{
    const Bytes challenge = bytes_of("challenge");
    uint8_t digest[16];
    CHAP_MD5(1, secret.data(), (uint32_t)secret.size(), challenge.data(), 9, digest);
}

// The first 16 bytes of a key block: the key XOR pad.
Bytes pad_start(const Bytes &key, uint8_t pad)
{
    Bytes out(16, pad);
    for (size_t i = 0; i < 16 && i < key.size(); i++)
        out[i] = key[i] ^ pad;
    return out;
}

class SecretWipe : public ::testing::Test {
  protected:
    void SetUp() override
    {
        const Bytes control = from_hex("c0ffee00c0ffee01c0ffee02c0ffee03");
        scrub_stack();
        leave_pattern(control);
        if (!holds(stack_below(), control))
            GTEST_SKIP() << "this build does not lay out frames so that the probe sees them";
    }
};

TEST_F(SecretWipe, HmacLeavesNoPadStateOrHashedKey)
{
    const Bytes short_key = from_hex("8f3a51c2d7e90b4618a2c3d4e5f60718");
    const Bytes long_key = [] {
        Bytes key(100);
        for (size_t i = 0; i < key.size(); i++)
            key[i] = (uint8_t)(37 * i + 11);
        return key;
    }();
    for (const Bytes &key : {short_key, long_key}) {
        SCOPED_TRACE(key.size());
        const Bytes block_key = key.size() > 64 ? from_hex(openssl_md5(key)) : key;
        uint8_t inner[16], outer[16], digest[16];
        HMAC_MD5(nullptr, 0, key.data(), (int32_t)key.size(), inner, outer, digest);
        const Bytes secrets[] = {
            key,
            block_key,
            pad_start(block_key, 0x36),
            pad_start(block_key, 0x5C),
            Bytes(inner, inner + 16),
            Bytes(outer, outer + 16),
        };
        scrub_stack();
        run_hmac(key);
        const Bytes stack = stack_below();
        for (const Bytes &secret : secrets)
            EXPECT_FALSE(holds(stack, secret)) << to_hex(secret.data(), secret.size());
    }
}

TEST_F(SecretWipe, ChapLeavesNoSecret)
{
    const Bytes secret = from_hex("5ec2e7000102030405060708090a0b0c");
    scrub_stack();
    run_chap(secret);
    EXPECT_FALSE(holds(stack_below(), secret));
}

} // namespace
