// The tokens of one test, put into the driver with the management
// controls: every position is emptied first and again at the end.
#ifndef VUXA_E2E_TOKEN_RACK_H
#define VUXA_E2E_TOKEN_RACK_H

#include <cstdint>

#include "pyxo.h"
#include "vtd_client.h"

namespace e2e {

// A token with the tests' credentials (token_files.h) and the serial
// number 10*n+1 ... 10*n+8, so that tokens differ.
vtd_client::TokenOptions token_options(uint8_t n, uint8_t model = 0x50);

// The serial number of token_options(n) as the library reports it.
void expected_serial(uint8_t n, uint32_t serial[2]);

class TokenRack {
public:
    TokenRack();  // empties every position
    ~TokenRack(); // and again

    uint32_t error() const { return manager_.error(); }
    // Puts a fresh token at a position, replacing what is there.
    uint32_t insert(uint32_t position, const vtd_client::TokenOptions &options);
    uint32_t insert_image(uint32_t position, const vtd_client::Bytes &image);
    uint32_t remove(uint32_t position) { return manager_.remove(position); }
    vtd_client::Connection &manager() { return manager_; }

private:
    void empty_all();
    vtd_client::Connection manager_;
};

} // namespace e2e

#endif
