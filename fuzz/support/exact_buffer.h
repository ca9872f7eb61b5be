// Heap buffers of exactly the size a caller promises, so that
// AddressSanitizer reports the first byte read or written past them.
#ifndef VUXA_FUZZ_EXACT_BUFFER_H
#define VUXA_FUZZ_EXACT_BUFFER_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "fuzz_input.h"

class ExactBuffer {
public:
    explicit ExactBuffer(size_t size) : bytes_(new uint8_t[size]), size_(size)
    {
        memset(bytes_.get(), kFill, size);
    }
    // Filled from the fuzz input.
    ExactBuffer(size_t size, FuzzInput &input) : ExactBuffer(size) { input.bytes(data(), size); }

    uint8_t *data() { return bytes_.get(); }
    const uint8_t *data() const { return bytes_.get(); }
    size_t size() const { return size_; }

    bool same_as(const ExactBuffer &other) const
    {
        return size_ == other.size_ && memcmp(data(), other.data(), size_) == 0;
    }
    ExactBuffer copy() const
    {
        ExactBuffer c(size_);
        memcpy(c.data(), data(), size_);
        return c;
    }

    // What a fresh buffer holds before anything writes to it.
    static constexpr uint8_t kFill = 0xA5;

private:
    std::unique_ptr<uint8_t[]> bytes_;
    size_t size_;
};

#endif
