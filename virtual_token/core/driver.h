// The driver's state: positions holding tokens or other devices, and the
// table of open handles.
#ifndef VTD_DRIVER_H
#define VTD_DRIVER_H

#include "token.h"
#include "vtd.h"
#include "vtd_manage.h"

namespace vtd {

constexpr uint32_t kPositions = VTD_POSITIONS;
constexpr uint32_t kMaxHandles = 128;
constexpr uint32_t kNoHandle = 0;

struct Position {
    uint8_t kind;                        // VTD_KIND_*
    uint32_t handle;                     // the handle it is attached to, or kNoHandle
    uint8_t descriptor[kDescriptorSize]; // a device's (a token has its own)
    Token token;
};

struct HandleSlot {
    bool open;
    uint32_t generation; // tells a reused slot's handles apart
};

} // namespace vtd

struct vtd_driver {
    vtd_random_fn random;
    void *random_context;
    uint32_t changed; // bit n: position n changed
    vtd::HandleSlot handles[vtd::kMaxHandles];
    vtd::Position positions[vtd::kPositions];
};

namespace vtd {

inline const uint8_t *descriptor_of(const Position &p)
{
    return p.kind == VTD_KIND_TOKEN ? p.token.descriptor : p.descriptor;
}

// Ends an attachment; the token forgets its session.
void detach(Position &position);

// Empties a position, wiping what the token held.
void clear_position(vtd_driver *driver, uint32_t index);

// The management controls (function codes from 0x800).
uint32_t manage_control(vtd_driver *driver, uint32_t code, const uint8_t *in, uint32_t in_size,
                        uint8_t *out, uint32_t out_size, uint32_t *returned);

} // namespace vtd

#endif
