// The virtual token: its persistent state (descriptor, serial number,
// credentials, settings, file system, memory), its session state (what is
// verified and selected) and the one-command exchange its handlers share.
#ifndef VTD_TOKEN_H
#define VTD_TOKEN_H

#include <stddef.h>
#include <stdint.h>

#include "token_status.h"
#include "util/bytes.h"
#include "vtd.h"

namespace vtd {

// Descriptor bytes the token itself reads.
enum : uint32_t {
    kDescriptorLength = 0,
    kDescriptorModel = 1,
    kDescriptorMemoryWords = 4,
    kDescriptorSize = 32,
    kDescriptorMinLength = 8,
};

constexpr uint8_t kFirstModel = 0x40;
constexpr uint8_t kFirstWideModel = 0x50; // models below use 16-bit identifiers
constexpr uint8_t kLastModel = 0x5F;

constexpr uint32_t kMinMemoryWords = 64;
constexpr uint32_t kMaxMemoryWords = 0xFFFF; // the descriptor's 16-bit field
constexpr uint32_t kMaxEntries = 256;        // directories and files, the root aside
constexpr uint32_t kSerialSize = 8;
constexpr uint32_t kMasterKeySize = 8;
constexpr uint32_t kSettingsSize = 2;

// Entry types, the 3-bit type codes the token reports.
constexpr uint8_t kTypeDirectory = 0; // a directory's own record (index 0 of its listing)
constexpr uint8_t kTypeDirLink = 1;   // a directory as listed in directory 0
constexpr uint8_t kTypeData = 2;      // data file: read access1, write access2
constexpr uint8_t kTypeCounter = 3;   // counter file: read and decrement access1, write access2
constexpr uint8_t kTypeKey = 4;       // key file: never read, write access2, hash access3

// Access conditions, 3 bits each.
constexpr uint8_t kAlways = 0;
constexpr uint8_t kAfterPin = 1;
constexpr uint8_t kAfterMasterKey = 2;
constexpr uint8_t kAfterPinOrKey = 3;
constexpr uint8_t kAfterPinAndKey = 4;
constexpr uint8_t kPinEachTime = 5; // a PIN verification is spent by the command it allows
constexpr uint8_t kKeyEachTime = 6; // a master key verification is spent likewise
constexpr uint8_t kNever = 7;

// One directory (other than directory 0) or one file.
struct Entry {
    uint32_t dir_id;  // a directory's own identifier; a file's directory
    uint32_t file_id; // 0 for a directory
    uint32_t data;    // files: byte offset of the contents in memory
    uint16_t words;   // a directory's capacity, a file's size, in words
    uint8_t type;     // EntryType
    uint8_t access;   // access byte: bits 5-3 and 2-0
};

constexpr int kNoSelection = -1;

struct Token {
    // Persistent: what the image holds.
    uint8_t descriptor[kDescriptorSize];
    uint8_t serial[kSerialSize];
    uint32_t pin;
    uint8_t master_key[kMasterKeySize];
    uint8_t settings[kSettingsSize];
    uint8_t pin_failures;
    uint8_t key_failures;
    uint32_t entry_count;
    uint32_t data_bytes; // memory bytes holding file contents, from 0
    Entry entries[kMaxEntries];
    uint8_t memory[2 * kMaxMemoryWords];

    // Session: lost on reset and when the attachment ends.
    bool pin_verified;
    bool key_verified;
    int selected; // entry index, or kNoSelection
    uint16_t led;
    bool changed; // persistent state changed since the driver last looked
};

inline uint32_t memory_words(const Token &token)
{
    return get_le16(token.descriptor + kDescriptorMemoryWords);
}

// Models below 0x50 use 16-bit directory and 8-bit file identifiers.
inline bool wide_ids(const Token &token)
{
    return token.descriptor[kDescriptorModel] >= kFirstWideModel;
}

// Drops what the session knows: selection and verified credentials.
inline void end_session(Token &token)
{
    token.pin_verified = false;
    token.key_verified = false;
    token.selected = kNoSelection;
}

// The token's input and output buffers: what one command may carry.
constexpr uint32_t kParamSize = 4;
constexpr uint32_t kMaxRequest = 80;
constexpr uint32_t kMaxAnswer = 64;

// One command as a handler sees it.
struct Exchange {
    const uint8_t *request;  // request bytes: 4 parameter bytes, then the payload
    uint32_t payload_length; // request bytes after the first 4
    uint8_t answer[kMaxAnswer];
    uint32_t answer_length; // data answer; 0 means a status answer
    bool silent;            // answer nothing at all (reset)
    vtd_random_fn random;
    void *random_context;
};

// Command handlers return the status; a data answer goes to ex.answer.
typedef uint8_t (*CommandHandler)(Token &token, Exchange &ex);

// Runs one command.  Afterwards ex.answer holds the bytes to send back
// (the data, or one status byte) and ex.answer_length their count, 0 for a
// command that answers nothing.
void run_command(Token &token, uint32_t code, Exchange &ex);

} // namespace vtd

#endif
