// The command exchange: the one road every token command travels.
#ifndef VUXA_DEVICE_EXCHANGE_H
#define VUXA_DEVICE_EXCHANGE_H

#include <stdint.h>

#include "pyxo.h"

// One driver I/O control on the context's handle, system errors translated
// into status codes.  Does not look at the signature; callers do.
uint32_t pyxo_control(PYXO_CONTEXT *context, uint32_t control_code, const void *input,
                      uint32_t input_size, void *output, uint32_t output_size,
                      uint32_t *bytes_returned);

// Judges a token answer: two or more bytes are data (0), none is an I/O
// failure, a single byte is a token status to translate.
uint32_t pyxo_map_status(const uint8_t *answer, uint32_t length);

// Sends one token command and judges its answer.
//   answer_length 0:                  nothing awaited (reset);
//   answer_length 1, answer null:     a status-only command;
//   answer_length m, answer non-null: m data bytes into answer, or a status.
// Requests longer than PYXO_MAX_REQUEST, a missing request of nonzero
// length and a missing answer buffer for m > 1 are refused with 17, unsent.
uint32_t pyxo_exchange(PYXO_CONTEXT *context, uint32_t command, uint32_t request_length,
                       const uint8_t *request, uint32_t answer_length, uint8_t *answer);

// A status-only command: the token answers with one status byte.
inline uint32_t pyxo_exchange_status(PYXO_CONTEXT *context, uint32_t command,
                                     uint32_t request_length, const uint8_t *request)
{
    return pyxo_exchange(context, command, request_length, request, 1, nullptr);
}

#endif
