// Key material the tool holds for a moment: wiped when its life ends.
#ifndef PYXO_CLI_SECRET_H
#define PYXO_CLI_SECRET_H

#include <cstddef>
#include <cstdint>

#include "cli.h"

namespace pyxo_cli {

// Overwrites with zeros through a volatile pointer, which the compiler
// must not drop as a dead store.
inline void wipe(void *data, size_t size)
{
    volatile uint8_t *p = static_cast<volatile uint8_t *>(data);
    for (size_t i = 0; i < size; i++)
        p[i] = 0;
}

// Bytes that are wiped when they go.
class Secret {
public:
    explicit Secret(Bytes bytes) : bytes_(std::move(bytes)) {}
    ~Secret() { wipe(bytes_.data(), bytes_.size()); }
    Secret(const Secret &) = delete;
    Secret &operator=(const Secret &) = delete;

    const uint8_t *data() const { return bytes_.data(); }
    size_t size() const { return bytes_.size(); }

private:
    Bytes bytes_;
};

} // namespace pyxo_cli

#endif
