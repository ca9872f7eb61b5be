// Fresh token images: a core of our own, in this process, makes the token
// and fills it through the token's own commands.
#include <algorithm>
#include <cstring>
#include <random>

#include "device/driver_interface.h"
#include "device/token_commands.h"
#include "util/bytes.h"
#include "vtd_client.h"

namespace vtd_client {

namespace {

constexpr uint32_t kPosition = 0;
constexpr uint32_t kWriteChunk = 76;
constexpr uint8_t kKeyFileType = 4;

void system_random(void *, uint8_t *out, size_t n)
{
    std::random_device device;
    for (size_t i = 0; i < n; i++)
        out[i] = uint8_t(device());
}

void put16(Bytes &r, uint32_t v)
{
    r.push_back(uint8_t(v));
    r.push_back(uint8_t(v >> 8));
}

void put32(Bytes &r, uint32_t v)
{
    put16(r, v);
    put16(r, v >> 16);
}

} // namespace

TokenBuilder::TokenBuilder(const TokenOptions &options) : options_(options)
{
    memory_.reset(new uint64_t[(vtd_driver_size() + 7) / 8]);
    driver_ = reinterpret_cast<vtd_driver *>(memory_.get());
    vtd_driver_init(driver_, system_random, nullptr);
    vtd_token_params p{};
    p.model = options.model;
    p.memory_words = options.memory_words;
    if (options.random_serial)
        system_random(nullptr, p.serial, sizeof p.serial);
    else
        std::memcpy(p.serial, options.serial.data(), sizeof p.serial);
    p.pin = options.pin;
    std::memcpy(p.master_key, options.master_key.data(), sizeof p.master_key);
    std::memcpy(p.settings, options.settings.data(), sizeof p.settings);
    status_ = vtd_new_token(driver_, kPosition, &p);
    if (status_ != 0 || vtd_open_handle(driver_, &handle_) != 0)
        return;
    Bytes block(PYXO_ATTACH_BLOCK_SIZE, 0), out(PYXO_ATTACH_BLOCK_SIZE);
    uint32_t returned = 0;
    vtd_control(driver_, handle_, PYXO_IOCTL_ATTACH, block.data(), uint32_t(block.size()),
                out.data(), uint32_t(out.size()), &returned);
}

TokenBuilder::~TokenBuilder() = default;

Bytes TokenBuilder::command(uint32_t code, const Bytes &request, uint32_t answer_size)
{
    Bytes block(PYXO_COMMAND_BLOCK_SIZE, 0), answer(answer_size);
    put_le32(&block[PYXO_COMMAND_DEVICE_INDEX], kPosition + 1);
    Bytes r = request;
    r.resize(std::max<size_t>(r.size(), 4), 0);
    std::memcpy(&block[PYXO_COMMAND_PARAM1], r.data(), 4);
    put_le16(&block[PYXO_COMMAND_CODE], code);
    put_le16(&block[PYXO_COMMAND_PAYLOAD_LENGTH], uint32_t(r.size() - 4));
    std::memcpy(&block[PYXO_COMMAND_PAYLOAD], r.data() + 4, r.size() - 4);
    uint32_t returned = 0;
    if (vtd_control(driver_, handle_, PYXO_IOCTL_COMMAND, block.data(), uint32_t(block.size()),
                    answer.data(), answer_size, &returned) != 0)
        returned = 0;
    answer.resize(returned);
    return answer;
}

// Both credentials, before each step: conditions 5 and 6 spend them.
void TokenBuilder::authenticate()
{
    Bytes pin;
    put32(pin, options_.pin);
    command(PYXO_CMD_VERIFY_PIN, pin, 2);
    command(PYXO_CMD_VERIFY_MASTER_KEY,
            Bytes(options_.master_key.begin(), options_.master_key.end()), 2);
}

void TokenBuilder::step(uint32_t code, const Bytes &request)
{
    if (status_ != 0)
        return;
    authenticate();
    const Bytes answer = command(code, request, 2);
    status_ = answer.size() == 1 ? answer[0] : 0xFF;
}

TokenBuilder &TokenBuilder::dir(uint32_t dir_id, uint32_t bytes)
{
    Bytes r;
    const bool wide = options_.model >= 0x50;
    wide ? put32(r, dir_id) : put16(r, dir_id);
    wide ? put32(r, 0) : put16(r, 0);
    if (wide)
        put16(r, 0);
    put16(r, bytes / 2);
    step(PYXO_CMD_CREATE_DIR, r);
    return *this;
}

TokenBuilder &TokenBuilder::file(uint32_t dir_id, uint32_t file_id, uint8_t type,
                                 uint8_t high_condition, uint8_t write_condition, uint32_t bytes,
                                 const Bytes &contents)
{
    const uint8_t access = uint8_t((high_condition & 7) << 3 | (write_condition & 7));
    const bool wide = options_.model >= 0x50;
    Bytes r;
    wide ? put32(r, dir_id) : put16(r, dir_id);
    wide ? put32(r, file_id) : put16(r, file_id);
    if (wide) {
        r.push_back(access);
        r.push_back(uint8_t(type << 5));
        put16(r, bytes / 2);
    } else {
        put16(r, bytes / 2 | uint32_t(type) << 13);
        r.push_back(access);
        r.push_back(0);
    }
    step(PYXO_CMD_CREATE_FILE, r); // selects the new file for the writes
    for (size_t at = 0; at < contents.size() && status_ == 0; at += kWriteChunk) {
        Bytes chunk(contents.begin() + at,
                    contents.begin() + std::min(contents.size(), at + kWriteChunk));
        chunk.resize((chunk.size() + 1) & ~size_t(1), 0);
        Bytes w;
        put16(w, uint32_t(at / 2));
        put16(w, uint32_t(chunk.size() / 2));
        w.insert(w.end(), chunk.begin(), chunk.end());
        step(PYXO_CMD_WRITE_FILE, w);
    }
    return *this;
}

TokenBuilder &TokenBuilder::hmac_key_file(uint32_t dir_id, uint32_t file_id,
                                          const uint8_t state[16], uint8_t use_condition,
                                          uint8_t write_condition)
{
    return file(dir_id, file_id, kKeyFileType, use_condition, write_condition, 16,
                Bytes(state, state + 16));
}

TokenBuilder &TokenBuilder::chap_secret_file(uint32_t dir_id, uint32_t file_id, const Bytes &secret,
                                             uint8_t use_condition, uint8_t write_condition)
{
    Bytes contents;
    put16(contents, uint32_t(secret.size()));
    contents.insert(contents.end(), secret.begin(), secret.end());
    contents.resize((contents.size() + 1) & ~size_t(1), 0);
    return file(dir_id, file_id, kKeyFileType, use_condition, write_condition,
                uint32_t(contents.size()), contents);
}

Bytes TokenBuilder::image() const
{
    Bytes out(vtd_max_image_size());
    out.resize(vtd_export_image(driver_, kPosition, out.data(), uint32_t(out.size())));
    return out;
}

Bytes new_token_image(const TokenOptions &options)
{
    return TokenBuilder(options).image();
}

} // namespace vtd_client
