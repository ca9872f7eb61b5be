// The token's command table and the step every command goes through.
#include "commands.h"

#include "device/token_commands.h"

namespace vtd {

namespace {

struct CommandEntry {
    uint32_t code;
    CommandHandler handler;
};

constexpr CommandEntry kCommands[] = {
    {PYXO_CMD_GET_RESPONSE, cmd_get_response},
    {PYXO_CMD_DIAGNOSE, cmd_diagnose},
    {PYXO_CMD_LED, cmd_led},
    {PYXO_CMD_RESET, cmd_reset},
    {PYXO_CMD_SETTINGS, cmd_settings},
    {PYXO_CMD_SERIAL_NUMBER, cmd_serial},
    {PYXO_CMD_GET_ACCESS_SETTINGS, cmd_get_access},
    {PYXO_CMD_DIR, cmd_dir},
    {PYXO_CMD_SELECT_FILE, cmd_select},
    {PYXO_CMD_CLOSE_FILE, cmd_close},
    {PYXO_CMD_READ_FILE, cmd_read},
    {PYXO_CMD_WRITE_FILE, cmd_write},
    {PYXO_CMD_DECREMENT, cmd_decrement},
    {PYXO_CMD_CREATE_DIR, cmd_create_dir},
    {PYXO_CMD_CREATE_FILE, cmd_create_file},
    {PYXO_CMD_DELETE_DIR, cmd_delete_dir},
    {PYXO_CMD_DELETE_FILE, cmd_delete_file},
    {PYXO_CMD_VERIFY_PIN, cmd_verify_pin},
    {PYXO_CMD_VERIFY_MASTER_KEY, cmd_verify_key},
    {PYXO_CMD_HASH_RAW, cmd_hash_raw},
    {PYXO_CMD_HASH_KEYED, cmd_hash_keyed},
    {PYXO_CMD_GET_CHALLENGE, cmd_challenge},
    {PYXO_CMD_HASH_CHAP, cmd_hash_chap},
};

CommandHandler find_handler(uint32_t code)
{
    for (const CommandEntry &c : kCommands) {
        if (c.code == code)
            return c.handler;
    }
    return nullptr;
}

} // namespace

void run_command(Token &token, uint32_t code, Exchange &ex)
{
    ex.answer_length = 0;
    ex.silent = false;
    const CommandHandler handler = find_handler(code);
    uint8_t status = kStatusUnknownCommand;
    if (handler != nullptr)
        status =
            kParamSize + ex.payload_length > kMaxRequest ? kStatusBadParameter : handler(token, ex);
    if (ex.silent) {
        ex.answer_length = 0;
    } else if (status != kStatusOk || ex.answer_length == 0) {
        ex.answer[0] = status;
        ex.answer_length = 1;
    }
}

} // namespace vtd
