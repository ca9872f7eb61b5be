#include "token.h"

#include <string>

#include "status.h"

namespace pyxo_cli {

namespace {

#if defined(_WIN32)
constexpr const char *kDriverHint = "is the token driver installed?";
#else
constexpr const char *kDriverHint =
    "is the token driver (or vuxad) running? Its socket is looked for in $VUXA_DEVICE_DIR, "
    "else $XDG_RUNTIME_DIR/vuxa, else /run/vuxa";
#endif

std::string where(std::optional<uint32_t> position)
{
    return position ? " at position " + std::to_string(*position) : std::string();
}

// Statuses after which no later position can be tried.
bool search_over(uint32_t status)
{
    return status == PYXO_ERR_NO_DEVICE || status == PYXO_ERR_DRIVER_COMM ||
           status == PYXO_ERR_DRIVER_VERSION;
}

// Walks the tokens in driver order up to the wanted position.
void open_position(PYXO_CONTEXT &context, uint32_t wanted)
{
    uint32_t status = Pyxo_OpenDevice(&context, PYXO_OPEN_FIRST);
    for (;;) {
        if (search_over(status))
            throw open_failure(context, status, wanted);
        const uint32_t position = token_position(context);
        if (position == wanted && status == PYXO_OK)
            return;
        if (position >= wanted)
            throw open_failure(context, position == wanted ? status : PYXO_ERR_NO_DEVICE, wanted);
        status = Pyxo_OpenDevice(&context, PYXO_OPEN_NEXT);
        if (!search_over(status) && token_position(context) <= position)
            throw open_failure(context, PYXO_ERR_NO_DEVICE, wanted); // the search did not advance
    }
}

void verify_credentials(PYXO_CONTEXT &context, const Globals &globals)
{
    if (globals.pin) {
        const uint32_t status = Pyxo_VerifyPIN(&context, *globals.pin);
        if (status != PYXO_OK)
            throw Failure(kExitCredentials, "the PIN (--pin) was refused: " + status_text(status));
    }
    if (globals.master_key) {
        const uint32_t status = Pyxo_VerifyMasterKey(&context, globals.master_key->data());
        if (status != PYXO_OK)
            throw Failure(kExitCredentials,
                          "the master key (--master-key) was refused: " + status_text(status));
    }
}

} // namespace

Token::Token(const Globals &globals) : globals_(globals)
{
    try {
        if (globals.token) {
            open_position(context_, *globals.token);
        } else {
            const uint32_t status = Pyxo_OpenDevice(&context_, PYXO_OPEN_FIRST);
            if (status != PYXO_OK)
                throw open_failure(context_, status, std::nullopt);
        }
        verify_credentials(context_, globals);
    } catch (...) {
        Pyxo_CloseDevice(&context_);
        throw;
    }
}

Token::~Token()
{
    Pyxo_CloseDevice(&context_);
}

void Token::verify()
{
    verify_credentials(context_, globals_);
}

Failure open_failure(const PYXO_CONTEXT &context, uint32_t status,
                     std::optional<uint32_t> position)
{
    if (status == PYXO_ERR_NO_DEVICE && !driver_reached(context))
        return Failure(kExitNoToken, "cannot open the token driver: " + status_text(status) +
                                         "; " + kDriverHint);
    if (status == PYXO_ERR_NO_DEVICE)
        return Failure(kExitNoToken, "no token" + (position ? where(position) : " found") +
                                         " (`pyxo list` shows the tokens)");
    if (status == PYXO_ERR_DEVICE_21)
        return Failure(kExitNoToken,
                       "the token" + where(token_position(context)) + " is busy: " +
                           status_text(status) + "; `pyxo list` shows the free ones, --token N picks one");
    return Failure(kExitNoToken, "opening the token" + where(position) + ": " + status_text(status));
}

} // namespace pyxo_cli
