// The fuzz input read as a stream of choices.  Every reader takes the next
// bytes, little-endian, and yields zeros once the input has run out, so a
// run always ends and every prefix of an input is itself a valid input.
#ifndef VUXA_FUZZ_FUZZ_INPUT_H
#define VUXA_FUZZ_FUZZ_INPUT_H

#include <cstddef>
#include <cstdint>
#include <cstring>

class FuzzInput {
public:
    FuzzInput(const uint8_t *data, size_t size) : next_(data), end_(data + size) {}

    bool empty() const { return next_ == end_; }
    size_t remaining() const { return size_t(end_ - next_); }

    uint8_t u8() { return empty() ? 0 : *next_++; }
    uint16_t u16() { return uint16_t(u8() | u8() << 8); }
    uint32_t u32() { return uint32_t(u16()) | uint32_t(u16()) << 16; }
    bool flag() { return (u8() & 1) != 0; }

    // A value below limit (limit > 0), read from as few bytes as it needs.
    uint32_t below(uint32_t limit)
    {
        if (limit <= 0x100)
            return u8() % limit;
        if (limit <= 0x10000)
            return u16() % limit;
        return u32() % limit;
    }

    // A count that is mostly below typical + 1, sometimes any 16- or
    // 32-bit value: the sizes callers pass, and those they should not.
    uint32_t count(uint32_t typical)
    {
        switch (u8() % 8) {
        case 0:
            return u32();
        case 1:
            return u16();
        default:
            return below(typical + 1);
        }
    }

    // A size to allocate: mostly up to typical, now and then up to most.
    uint32_t size(uint32_t typical, uint32_t most)
    {
        return u8() % 8 == 0 ? below(most + 1) : below(typical + 1);
    }

    // The next n bytes; zeros where the input has run out.
    void bytes(void *out, size_t n)
    {
        if (n == 0)
            return; // out may be null then
        const size_t available = n < remaining() ? n : remaining();
        if (available > 0) // next_ may be null for an empty input
            memcpy(out, next_, available);
        memset((uint8_t *)out + available, 0, n - available);
        next_ += available;
    }

private:
    const uint8_t *next_;
    const uint8_t *end_;
};

#endif
