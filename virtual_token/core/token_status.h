// The token's refusal codes: the low five bits of a one-byte answer.  The
// library names several of them (1 access denied, 10 no space, 11 invalid
// parameter); the others are the token's own, documented in
// docs/virtual-token.md.
#ifndef VTD_TOKEN_STATUS_H
#define VTD_TOKEN_STATUS_H

#include <stdint.h>

namespace vtd {

constexpr uint8_t kStatusOk = 0;
constexpr uint8_t kStatusDenied = 1;         // access condition not met; wrong PIN or master key
constexpr uint8_t kStatusNotFound = 2;       // no such directory, file or directory entry
constexpr uint8_t kStatusNoSelection = 3;    // the command needs a selected file
constexpr uint8_t kStatusExists = 4;         // the directory or file exists already
constexpr uint8_t kStatusLocked = 5;         // the credential is locked by its retry counter
constexpr uint8_t kStatusMemoryFault = 6;    // the token's memory is inconsistent
constexpr uint8_t kStatusSelfTestFault = 7;  // the token cannot run the command (no random source)
constexpr uint8_t kStatusWrongType = 8;      // the selected file's type does not allow the command
constexpr uint8_t kStatusNotEmpty = 9;       // the directory still holds files
constexpr uint8_t kStatusNoSpace = 10;       // the directory, the memory or the entry table is full
constexpr uint8_t kStatusBadParameter = 11;  // malformed request, field out of range, out of bounds
constexpr uint8_t kStatusCounterEmpty = 12;  // decrement of a counter that is 0
constexpr uint8_t kStatusUnknownCommand = 13; // no such command

} // namespace vtd

#endif
