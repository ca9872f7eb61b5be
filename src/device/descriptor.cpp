// Decoding of the token descriptor.
#include "device/descriptor.h"

#include <string.h>

#include "device/context.h"
#include "device/driver_interface.h"
#include "util/bytes.h"

namespace {

enum : uint32_t {
    kLength = 0,
    kModel = 1,
    kByte2 = 2,
    kByte3 = 3,
    kMemoryWords = 4,
    kCapabilities = 6,
};

constexpr uint8_t kMinLength = 8;
constexpr uint8_t kMinModel = 0x40;
constexpr uint8_t kMaxModel = 0x5F;
constexpr uint8_t kFirstWideModel = 0x50; // 'P': 32-bit identifiers from here on

// Up to three groups of seven value bits, each with a mark in bit 7 that
// another group follows, then a last group of eight value bits.
constexpr uint8_t kGroupValue = 0x7F;
constexpr uint8_t kGroupMore = 0x80;
constexpr uint32_t kGroupBits = 7;
constexpr uint32_t kSevenBitGroups = 3;

// The capability bit that says a parameter byte follows the groups.
constexpr uint32_t kCapabilityParamPresent = 1u << 1;
constexpr uint32_t kCapabilityParamScale = 8;

// Decodes the capability groups; *next receives the offset after them.
uint32_t decode_capabilities(const uint8_t *descriptor, uint32_t *next)
{
    uint32_t offset = kCapabilities;
    uint32_t value = 0;
    for (uint32_t group = 0; group <= kSevenBitGroups; ++group) {
        const uint8_t byte = descriptor[offset++];
        if (group == kSevenBitGroups) {
            value |= (uint32_t)byte << (kGroupBits * group);
            break;
        }
        value |= (uint32_t)(byte & kGroupValue) << (kGroupBits * group);
        if ((byte & kGroupMore) == 0)
            break;
    }
    *next = offset;
    return value;
}

} // namespace

bool pyxo_descriptor_qualifies(const uint8_t *descriptor)
{
    return descriptor[kLength] >= kMinLength && descriptor[kLength] <= PYXO_DESCRIPTOR_SIZE &&
           descriptor[kModel] >= kMinModel && descriptor[kModel] <= kMaxModel;
}

void pyxo_decode_descriptor(PYXO_CONTEXT *context, uint8_t *descriptor)
{
    const uint8_t length = descriptor[kLength];
    memset(descriptor + length, 0, PYXO_DESCRIPTOR_SIZE - length);
    context->model = descriptor[kModel];
    context->descriptor_byte2 = descriptor[kByte2];
    context->descriptor_byte3 = descriptor[kByte3];
    context->memory_size = get_le16(descriptor + kMemoryWords) * 2;
    uint32_t next = 0;
    context->capabilities = decode_capabilities(descriptor, &next);
    context->id_size = context->model < kFirstWideModel ? PYXO_NARROW_ID_SIZE : PYXO_WIDE_ID_SIZE;
    context->capability_param = (context->capabilities & kCapabilityParamPresent) != 0
                                    ? descriptor[next] * kCapabilityParamScale
                                    : 0;
}
