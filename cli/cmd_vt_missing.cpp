#include "cli.h"

namespace pyxo_cli {

std::span<const Command> vt_commands()
{
    return {};
}

} // namespace pyxo_cli
