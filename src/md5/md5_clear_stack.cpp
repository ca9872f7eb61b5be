// Clearing the stack a compression of secret bytes used.
#include "md5/md5_internal.h"
#include "util/wipe.h"

// Its frame lies where the frames of the functions the caller called last
// were: the compression keeps block words and chaining words in registers
// and spills some of them into its frame, out of reach of any wipe of the
// caller's own buffers.  Not inlined, so that the frame is a new one.
[[gnu::noinline]] void md5_clear_stack()
{
    uint8_t area[MD5_STACK_CLEAR_SIZE];
    pyxo_wipe(area, sizeof area);
}
