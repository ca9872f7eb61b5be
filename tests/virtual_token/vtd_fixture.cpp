#include "vtd_fixture.h"

#include <cstring>

#include "device/driver_interface.h"
#include "device/token_commands.h"
#include "util/bytes.h"

namespace vuxa_test {

namespace {

void counting_random(void *context, uint8_t *out, size_t n)
{
    auto *next = static_cast<uint8_t *>(context);
    for (size_t i = 0; i < n; i++)
        out[i] = (*next)++;
}

void put_id(Bytes &r, bool wide, uint32_t id)
{
    r.push_back(uint8_t(id));
    r.push_back(uint8_t(id >> 8));
    if (wide) {
        r.push_back(uint8_t(id >> 16));
        r.push_back(uint8_t(id >> 24));
    }
}

void put16(Bytes &r, uint32_t v)
{
    r.push_back(uint8_t(v));
    r.push_back(uint8_t(v >> 8));
}

} // namespace

vtd_token_params token_params(uint8_t model, uint16_t memory_words, uint8_t serial_seed)
{
    vtd_token_params p{};
    p.model = model;
    p.memory_words = memory_words;
    for (int i = 0; i < 8; i++)
        p.serial[i] = uint8_t(serial_seed + i);
    p.pin = kTestPin;
    std::memcpy(p.master_key, kTestKey.data(), 8);
    p.settings[0] = 0x1B; // PIN changes: 3 (PIN or key); file system: 3 (PIN or key)
    p.settings[1] = 0x53;
    return p;
}

Driver::Driver()
{
    const size_t words = (vtd_driver_size() + 7) / 8;
    memory_.reset(new uint64_t[words]);
    driver_ = reinterpret_cast<vtd_driver *>(memory_.get());
    vtd_driver_init(driver_, counting_random, &next_random);
}

Driver::~Driver() = default;

uint32_t Driver::open()
{
    uint32_t handle = 0;
    EXPECT_EQ(vtd_open_handle(driver_, &handle), 0u);
    return handle;
}

void Driver::close(uint32_t handle)
{
    vtd_close_handle(driver_, handle);
}

Reply Driver::control(uint32_t handle, uint32_t code, const Bytes &in, uint32_t out_size)
{
    Reply reply;
    Bytes out(out_size + 1, 0xEE);
    uint32_t returned = 0xDEAD;
    reply.error =
        vtd_control(driver_, handle, code, in.empty() ? nullptr : in.data(), uint32_t(in.size()),
                    out_size ? out.data() : nullptr, out_size, &returned);
    EXPECT_LE(returned, out_size);
    EXPECT_EQ(out[out_size], 0xEE) << "wrote past the output";
    if (reply.error != 0)
        EXPECT_EQ(returned, 0u);
    out.resize(returned);
    reply.output = out;
    return reply;
}

Bytes attach_block(uint32_t device_index)
{
    Bytes b(PYXO_ATTACH_BLOCK_SIZE, 0);
    put_le32(&b[PYXO_ATTACH_DEVICE_INDEX], device_index);
    put_le32(&b[PYXO_ATTACH_ATTACH], 1);
    put_le32(&b[PYXO_ATTACH_STATUS], 0xFF);
    return b;
}

Bytes command_block(uint32_t device_index, uint32_t command, const Bytes &request)
{
    Bytes b(PYXO_COMMAND_BLOCK_SIZE, 0);
    put_le32(&b[PYXO_COMMAND_DEVICE_INDEX], device_index);
    Bytes r = request;
    r.resize(std::max<size_t>(r.size(), 4), 0);
    b[PYXO_COMMAND_PARAM1] = r[0];
    b[PYXO_COMMAND_PARAM1 + 1] = r[1];
    b[PYXO_COMMAND_PARAM2] = r[2];
    b[PYXO_COMMAND_PARAM2 + 1] = r[3];
    put_le16(&b[PYXO_COMMAND_CODE], command);
    const size_t payload = request.size() > 4 ? request.size() - 4 : 0;
    put_le16(&b[PYXO_COMMAND_PAYLOAD_LENGTH], uint32_t(payload));
    if (payload > 0)
        std::memcpy(&b[PYXO_COMMAND_PAYLOAD], request.data() + 4, payload);
    return b;
}

void TokenTest::insert(uint8_t model, uint32_t at, uint16_t memory_words)
{
    const vtd_token_params p = token_params(model, memory_words);
    ASSERT_EQ(vtd_new_token(driver.get(), at, &p), 0u);
    if (handle == 0)
        handle = driver.open();
    position = at;
    wide = model >= 0x50;
}

void TokenTest::attach(uint32_t at)
{
    const Reply r = driver.control(handle, kIoctlAttach, attach_block(at), 48);
    ASSERT_EQ(r.error, 0u);
    ASSERT_EQ(get_le32(&r.output[PYXO_ATTACH_STATUS]), 0u);
    position = at;
}

Bytes TokenTest::cmd(uint32_t command, const Bytes &request, uint32_t out_size)
{
    const Reply r = driver.control(handle, kIoctlCommand,
                                   command_block(position + 1, command, request), out_size);
    EXPECT_EQ(r.error, 0u);
    return r.output;
}

uint8_t TokenTest::status(uint32_t command, const Bytes &request)
{
    const Bytes answer = cmd(command, request, 2);
    EXPECT_EQ(answer.size(), 1u) << "a status answer is one byte";
    return answer.empty() ? 0xFF : answer[0];
}

uint8_t TokenTest::verify_pin(uint32_t pin)
{
    Bytes r;
    put16(r, pin);
    put16(r, pin >> 16);
    return status(PYXO_CMD_VERIFY_PIN, r);
}

uint8_t TokenTest::verify_key(const Bytes &key)
{
    return status(PYXO_CMD_VERIFY_MASTER_KEY, key);
}

uint8_t TokenTest::create_dir(uint32_t dir_id, uint32_t words)
{
    Bytes r;
    put_id(r, wide, dir_id);
    put_id(r, wide, 0);
    if (wide)
        r.insert(r.end(), {0, 0});
    put16(r, words);
    return status(PYXO_CMD_CREATE_DIR, r);
}

uint8_t TokenTest::create_file(uint32_t dir_id, uint32_t file_id, uint8_t type, uint8_t access,
                               uint32_t words)
{
    Bytes r;
    put_id(r, wide, dir_id);
    put_id(r, wide, file_id);
    if (wide) {
        r.push_back(access);
        r.push_back(uint8_t(type << 5));
        put16(r, words);
    } else {
        put16(r, words | uint32_t(type) << 13);
        r.push_back(access);
        r.push_back(0);
    }
    return status(PYXO_CMD_CREATE_FILE, r);
}

Bytes TokenTest::select(uint32_t dir_id, uint32_t file_id)
{
    Bytes r;
    put_id(r, wide, dir_id);
    put_id(r, wide, file_id);
    return cmd(PYXO_CMD_SELECT_FILE, r, 4);
}

Bytes TokenTest::dir(uint32_t dir_id, uint32_t index)
{
    Bytes r;
    put_id(r, wide, dir_id);
    put16(r, index);
    return cmd(PYXO_CMD_DIR, r, wide ? 14 : 8);
}

Bytes TokenTest::read(uint32_t word_offset, uint32_t words)
{
    Bytes r;
    put16(r, word_offset);
    put16(r, words);
    return cmd(PYXO_CMD_READ_FILE, r, 64);
}

uint8_t TokenTest::write(uint32_t word_offset, const Bytes &data)
{
    Bytes r;
    put16(r, word_offset);
    put16(r, uint32_t(data.size() / 2));
    r.insert(r.end(), data.begin(), data.end());
    return status(PYXO_CMD_WRITE_FILE, r);
}

uint8_t TokenTest::set_settings(uint8_t byte0, uint8_t byte1)
{
    return status(PYXO_CMD_SETTINGS, {1, 0, 0, 0, byte0, byte1});
}

} // namespace vuxa_test
