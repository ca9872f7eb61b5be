#include "cli.h"
#include "token.h"

namespace pyxo_cli {

Invocation::Invocation(const Command &which, std::ostream &output, std::ostream &notes,
                       std::istream &input)
    : command(which), out(output), err(notes), in(input)
{
}

Invocation::~Invocation() = default;

std::optional<std::string> Invocation::option(std::string_view name) const
{
    const auto it = options.find(name);
    if (it == options.end())
        return std::nullopt;
    return it->second;
}

PYXO_CONTEXT &Invocation::token()
{
    if (!token_)
        token_ = std::make_unique<Token>(globals);
    return token_->context();
}

void Invocation::renew_credentials()
{
    if (token_)
        token_->verify();
    else
        token(); // opening verifies them
}

} // namespace pyxo_cli
