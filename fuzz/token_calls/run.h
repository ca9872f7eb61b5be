// One run of the token_calls target: a record, the fuzz input that decides
// the calls and the driver's answers, and what every call is checked
// against.  Each operation picks its arguments from the input, calls one
// exported function and checks what the call may and may not have done.
#ifndef VUXA_FUZZ_RUN_H
#define VUXA_FUZZ_RUN_H

#include <cstdint>

#include "fake_kernel.h"
#include "fuzz_check.h"
#include "fuzz_input.h"
#include "pyxo.h"
#include "record.h"

struct Run {
    FuzzInput &in;
    PYXO_CONTEXT *context;
    // Initialised by the library from a record without the signature:
    // every field is then the library's own.
    bool pristine;
};

// The record and the kernel's counters as they were before a call.
struct Before {
    RecordImage image;
    Mirror mirror;
    unsigned commands;
    unsigned driver_opens;
    bool usable; // what the exchange needs: signature and a handle

    explicit Before(const PYXO_CONTEXT &context);
    unsigned commands_since() const { return fake_kernel::commands() - commands; }
    // Nothing in the record changed but the fields named (as
    // RecordImage::same_except), or nothing at all.
    bool only_changed(const PYXO_CONTEXT &context, const size_t (*fields)[2]) const
    {
        return image.same_except(context, fields);
    }
};

// Argument values: small ones, 16- and 32-bit ones, and the boundaries of
// the identifier widths.
uint32_t choose_id(FuzzInput &in);

// Checks every call's result against the table of status codes.
inline void check_status(uint32_t status)
{
    FUZZ_CHECK(known_status(status), "status outside the table");
}

using Operation = void (*)(Run &);

// The operations of each subsystem, ended by a null entry.
extern const Operation kDeviceOperations[];
extern const Operation kFileOperations[];
extern const Operation kAuthOperations[];
extern const Operation kHashOperations[];

#endif
