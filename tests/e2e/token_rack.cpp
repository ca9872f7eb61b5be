#include "token_rack.h"

#include "token_files.h"

namespace e2e {

vtd_client::TokenOptions token_options(uint8_t n, uint8_t model)
{
    vtd_client::TokenOptions options;
    options.model = model;
    options.random_serial = false;
    for (uint8_t i = 0; i < 8; ++i)
        options.serial[i] = uint8_t(10 * n + 1 + i);
    options.pin = kPin;
    options.master_key = kMasterKey;
    return options;
}

void expected_serial(uint8_t n, uint32_t serial[2])
{
    vtd_client::TokenOptions options = token_options(n);
    for (int word = 0; word < 2; ++word) {
        const uint8_t *b = options.serial.data() + 4 * word;
        serial[word] =
            uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    }
}

TokenRack::TokenRack()
{
    empty_all();
}

TokenRack::~TokenRack()
{
    empty_all();
}

void TokenRack::empty_all()
{
    for (uint32_t position = 0; position < VTD_POSITIONS; ++position)
        manager_.remove(position); // an empty position refuses; that is fine
}

uint32_t TokenRack::insert(uint32_t position, const vtd_client::TokenOptions &options)
{
    return insert_image(position, vtd_client::new_token_image(options));
}

uint32_t TokenRack::insert_image(uint32_t position, const vtd_client::Bytes &image)
{
    return manager_.insert_token(position, image, true);
}

} // namespace e2e
