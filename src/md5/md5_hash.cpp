// MD5 of one buffer.
#include "md5/md5_internal.h"

extern "C" PYXO_API uint8_t *PYXO_CALL MD5_Hash(const uint8_t *data, uint32_t data_length,
                                                uint8_t *digest)
{
    uint32_t state[4] = {md5_initial_state[0], md5_initial_state[1], md5_initial_state[2],
                         md5_initial_state[3]};
    md5_finish(state, 0, data, data_length, digest);
    return digest;
}
