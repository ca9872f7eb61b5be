// Reading a command's request bytes: its length check and its two
// identifier widths.
#ifndef VTD_REQUEST_H
#define VTD_REQUEST_H

#include "token.h"

namespace vtd {

// Whether the request has this many bytes.  Up to 4 bytes travel in the
// two parameter words, which are always there, so those requests differ
// only by carrying no payload.
inline bool request_is(const Exchange &ex, uint32_t length)
{
    return length <= kParamSize ? ex.payload_length == 0 : ex.payload_length == length - kParamSize;
}

// The request length of a command that has a wide and a narrow form.
inline uint32_t form_length(const Token &token, uint32_t wide, uint32_t narrow)
{
    return wide_ids(token) ? wide : narrow;
}

// Reads an identifier of the token's width at *at and moves past it: 32
// bits on wide tokens, 16 bits on narrow ones.
inline uint32_t take_id(const Token &token, const uint8_t *&at)
{
    const uint32_t id = wide_ids(token) ? get_le32(at) : get_le16(at);
    at += wide_ids(token) ? 4 : 2;
    return id;
}

inline void put_id(const Token &token, uint8_t *&at, uint32_t id)
{
    if (wide_ids(token))
        put_le32(at, id);
    else
        put_le16(at, id);
    at += wide_ids(token) ? 4 : 2;
}

// A data answer of n bytes, filled by the caller.
inline uint8_t *answer_data(Exchange &ex, uint32_t n)
{
    ex.answer_length = n;
    return ex.answer;
}

} // namespace vtd

#endif
