// Device services: command 1, self-test (2), LED (3), reset (0x100) and
// serial number (0x102).
#include <string.h>

#include "commands.h"
#include "fs.h"
#include "request.h"

namespace vtd {

namespace {

// Command 1 answers the token's identification.
constexpr char kIdentification[] = "vuxa virtual token 1.0";
constexpr uint32_t kFirmwareVersion = 0x0100;
constexpr uint8_t kPassed = 0xFF;
constexpr uint8_t kFailed = 0x00;
constexpr uint32_t kMemoryBlock = 512;
constexpr uint32_t kDiagnoseAnswer = 6;

} // namespace

uint8_t cmd_get_response(Token &, Exchange &ex)
{
    const uint32_t n = sizeof kIdentification - 1;
    memcpy(answer_data(ex, n), kIdentification, n);
    return kStatusOk;
}

// Bytes 0-1 the firmware version, 2 the self-test, 4 the memory test (the
// file system's accounting), 5 the memory in 512-byte blocks.
uint8_t cmd_diagnose(Token &token, Exchange &ex)
{
    if (!request_is(ex, 0))
        return kStatusBadParameter;
    uint8_t *a = answer_data(ex, kDiagnoseAnswer);
    put_le16(a, kFirmwareVersion);
    a[2] = kPassed;
    a[3] = 0;
    a[4] = fs_consistent(token) ? kPassed : kFailed;
    a[5] = (uint8_t)(2 * memory_words(token) / kMemoryBlock);
    return kStatusOk;
}

uint8_t cmd_led(Token &token, Exchange &ex)
{
    if (!request_is(ex, 2))
        return kStatusBadParameter;
    token.led = (uint16_t)get_le16(ex.request);
    return kStatusOk;
}

// A reset answers nothing: the token restarts.
uint8_t cmd_reset(Token &token, Exchange &ex)
{
    end_session(token);
    ex.silent = true;
    return kStatusOk;
}

uint8_t cmd_serial(Token &token, Exchange &ex)
{
    if (!request_is(ex, 0))
        return kStatusBadParameter;
    memcpy(answer_data(ex, kSerialSize), token.serial, kSerialSize);
    return kStatusOk;
}

} // namespace vtd
