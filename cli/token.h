// Opening the token a command works on: the first one, or the one at the
// position --token names; then the credentials given are verified.
#ifndef PYXO_CLI_TOKEN_H
#define PYXO_CLI_TOKEN_H

#include <cstdint>
#include <optional>

#include "cli.h"

namespace pyxo_cli {

class Token {
public:
    // Opens and verifies; a Failure says why not (kExitNoToken,
    // kExitCredentials).
    explicit Token(const Globals &globals);
    ~Token();
    Token(const Token &) = delete;
    Token &operator=(const Token &) = delete;

    PYXO_CONTEXT &context() { return context_; }

    // Verifies the credentials given again: a condition that allows one
    // command per verification (5, 6) spends them.
    void verify();

private:
    PYXO_CONTEXT context_{};
    Globals globals_;
};

// The driver position of the token a context examined last: the driver
// writes back one past it.
inline uint32_t token_position(const PYXO_CONTEXT &context)
{
    return context.device_index - 1;
}

// Whether the driver could be opened at all during the last open of a
// context that was fresh: it then reported its version.
inline bool driver_reached(const PYXO_CONTEXT &context)
{
    return context.driver_version != 0;
}

// Why an open failed, for the user (kExitNoToken).  position: the one
// asked for with --token, if any.
Failure open_failure(const PYXO_CONTEXT &context, uint32_t status,
                     std::optional<uint32_t> position);

} // namespace pyxo_cli

#endif
