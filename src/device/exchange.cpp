// The command exchange: a request becomes a PYXO_COMMAND_BLOCK, travels
// with one PYXO_IOCTL_COMMAND, and the answer's length and status byte are
// judged.
#include "device/exchange.h"

#include <string.h>

#include "device/context.h"
#include "device/driver_interface.h"
#include "util/bytes.h"
#include "util/wipe.h"

namespace {

// A status-only command is offered two bytes, so that an answer longer than
// the one status byte shows as such.
constexpr uint32_t kStatusAnswerSize = 2;

// param1 and param2, side by side in the block.
constexpr uint32_t kParameterBytes = PYXO_COMMAND_CODE - PYXO_COMMAND_PARAM1;

// Request bytes 0-1 and 2-3 go into the parameter words, the rest into the
// payload.  The block is cleared first so that no stale stack bytes reach
// the driver in the parts the request leaves unset.
void build_block(uint8_t *block, const PYXO_CONTEXT *context, uint32_t command,
                 uint32_t request_length, const uint8_t *request)
{
    memset(block, 0, PYXO_COMMAND_BLOCK_SIZE);
    put_le32(block + PYXO_COMMAND_DEVICE_INDEX, context->device_index);
    put_le16(block + PYXO_COMMAND_CODE, command);
    // Byte 0 is the low byte of param1, byte 2 that of param2: the bytes go
    // in as they stand.  A request of 1 or 3 bytes fills only what it has.
    const uint32_t head = request_length < kParameterBytes ? request_length : kParameterBytes;
    if (head > 0)
        memcpy(block + PYXO_COMMAND_PARAM1, request, head);
    if (request_length > kParameterBytes) {
        const uint32_t payload_length = request_length - kParameterBytes;
        put_le16(block + PYXO_COMMAND_PAYLOAD_LENGTH, payload_length);
        memcpy(block + PYXO_COMMAND_PAYLOAD, request + kParameterBytes, payload_length);
    }
}

// Judges the byte count of an answer that arrived.
uint32_t judge_answer(const uint8_t *target, uint32_t count, uint32_t answer_length,
                      bool status_only)
{
    if (count == answer_length)
        return status_only ? pyxo_map_status(target, count) : PYXO_OK;
    if (count != 1)
        return PYXO_ERR_RESPONSE_LENGTH;
    const uint32_t status = pyxo_map_status(target, count);
    return status != PYXO_OK ? status : PYXO_ERR_RESPONSE_LENGTH;
}

// Requests the block cannot hold, and data answers with nowhere to go, are
// the caller's mistakes: refused before anything is built or sent.
bool request_valid(uint32_t request_length, const uint8_t *request, uint32_t answer_length,
                   const uint8_t *answer)
{
    return request_length <= PYXO_MAX_REQUEST && (request_length == 0 || request != nullptr) &&
           (answer_length <= 1 || answer != nullptr);
}

} // namespace

uint32_t pyxo_exchange(PYXO_CONTEXT *context, uint32_t command, uint32_t request_length,
                       const uint8_t *request, uint32_t answer_length, uint8_t *answer)
{
    if (!pyxo_is_usable(context))
        return PYXO_ERR_NO_DEVICE;
    if (!request_valid(request_length, request, answer_length, answer))
        return PYXO_ERR_INVALID_PARAMETER;

    uint8_t block[PYXO_COMMAND_BLOCK_SIZE];
    uint8_t status_answer[kStatusAnswerSize] = {};
    const bool status_only = answer_length == 1 && answer == nullptr;
    uint8_t *target = status_only ? status_answer : answer;
    const uint32_t offered = status_only ? kStatusAnswerSize : answer_length;

    build_block(block, context, command, request_length, request);
    uint32_t count = 0;
    const uint32_t result = pyxo_control(context, PYXO_IOCTL_COMMAND, block, sizeof block,
                                         target, offered, &count);
    pyxo_wipe(block, sizeof block); // it may have carried a PIN or a key

    if (answer_length == 0 || result != PYXO_OK)
        return result;
    return judge_answer(target, count, answer_length, status_only);
}
