// The token's command handlers, one per command code (0x101 dispatches its
// sub-operations itself).
#ifndef VTD_COMMANDS_H
#define VTD_COMMANDS_H

#include "token.h"

namespace vtd {

// Device services.
uint8_t cmd_get_response(Token &token, Exchange &ex); // 0x001
uint8_t cmd_diagnose(Token &token, Exchange &ex);     // 0x002
uint8_t cmd_led(Token &token, Exchange &ex);          // 0x003
uint8_t cmd_reset(Token &token, Exchange &ex);        // 0x100
uint8_t cmd_serial(Token &token, Exchange &ex);       // 0x102

// Credentials and settings.
uint8_t cmd_settings(Token &token, Exchange &ex);   // 0x101
uint8_t cmd_get_access(Token &token, Exchange &ex); // 0x103
uint8_t cmd_verify_pin(Token &token, Exchange &ex); // 0x10E
uint8_t cmd_verify_key(Token &token, Exchange &ex); // 0x10F
uint8_t cmd_challenge(Token &token, Exchange &ex);  // 0x112
uint8_t cmd_delete_all(Token &token, Exchange &ex); // 0x101 sub-operation 3

// File system.
uint8_t cmd_dir(Token &token, Exchange &ex);         // 0x104
uint8_t cmd_select(Token &token, Exchange &ex);      // 0x105
uint8_t cmd_close(Token &token, Exchange &ex);       // 0x106
uint8_t cmd_read(Token &token, Exchange &ex);        // 0x107
uint8_t cmd_write(Token &token, Exchange &ex);       // 0x108
uint8_t cmd_decrement(Token &token, Exchange &ex);   // 0x109
uint8_t cmd_create_dir(Token &token, Exchange &ex);  // 0x10A
uint8_t cmd_create_file(Token &token, Exchange &ex); // 0x10B
uint8_t cmd_delete_dir(Token &token, Exchange &ex);  // 0x10C
uint8_t cmd_delete_file(Token &token, Exchange &ex); // 0x10D

// Hashing.
uint8_t cmd_hash_raw(Token &token, Exchange &ex);   // 0x110
uint8_t cmd_hash_keyed(Token &token, Exchange &ex); // 0x111
uint8_t cmd_hash_chap(Token &token, Exchange &ex);  // 0x118

} // namespace vtd

#endif
