// A virtual token driver core driven by the fuzz input: the driver in
// memory of its own, its handles, and a script of calls read from the
// input.  Every call of the C interface (vtd.h) and every I/O control
// (the library's four and the management ones) can appear in a script,
// with handles, codes, blocks and sizes the input chooses.  Each call is
// checked against what vtd.h promises: no byte written past out_size and
// none past the count returned, a count never above out_size and 0 with
// every error, errors of the known table, the input left alone, every
// exported image one the core itself accepts again.
#ifndef VUXA_FUZZ_VTD_SESSION_H
#define VUXA_FUZZ_VTD_SESSION_H

#include <cstdint>
#include <memory>
#include <vector>

#include "fuzz_input.h"
#include "vtd.h"

class VtdSession {
public:
    explicit VtdSession(FuzzInput &in);

    vtd_driver *driver() { return driver_; }
    size_t driver_size() const { return size_; }
    const uint8_t *memory() const { return (const uint8_t *)driver_; }

    // Runs calls until the input runs out or max_steps calls are made.
    void run_script(unsigned max_steps);
    // Closes every handle and checks every token's image once more.
    void finish();

    // Exports the token at a position and checks the image; empty when
    // there is no token there.
    std::vector<uint8_t> export_checked(uint32_t position);

private:
    void step();
    void open_handle();
    void close_handle();
    void control();
    void new_token();
    void insert_device();
    void remove();
    void export_image();
    void import_image();
    uint32_t choose_handle();
    uint32_t choose_position();
    std::vector<uint8_t> choose_image();
    std::vector<uint8_t> command_block();
    std::vector<uint8_t> control_input(uint32_t code);
    uint32_t control_out_size(uint32_t code);

    static uint64_t *driver_memory();
    static std::vector<uint8_t> &scratch(size_t size);

    FuzzInput &in_;
    size_t size_;
    vtd_driver *driver_;
    std::vector<uint32_t> handles_; // every handle opened, closed ones too
    uint64_t random_state_;
};

// Recomputes a token image's stated size and checksum, so that the input
// reaches the checks behind them.
void fix_image_frame(std::vector<uint8_t> &image);

bool known_vtd_error(uint32_t error);

#endif
