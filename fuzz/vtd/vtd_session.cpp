#include "vtd_session.h"

#include <algorithm>
#include <cstring>

#include "crc32.h"
#include "device/driver_interface.h"
#include "device/token_commands.h"
#include "exact_buffer.h"
#include "fuzz_check.h"
#include "util/bytes.h"
#include "vtd_manage.h"

namespace {

constexpr uint32_t kListSize = VTD_LIST_HEADER_SIZE + VTD_POSITIONS * VTD_LIST_RECORD_SIZE;
constexpr uint32_t kImageSizeAt = 12;
constexpr uint32_t kImageChecksumAt = 16;
constexpr uint32_t kImageHeaderSize = 32;
constexpr uint32_t kInsertHeader = 8;
constexpr uint32_t kUnset = 0xDEADBEEF;
// Largest buffer a script allocates: a little more than the largest image.
constexpr uint32_t kMaxBytes = 136 * 1024;

// The controls a script uses, the library's four more often.
constexpr uint32_t kCodes[] = {
    PYXO_IOCTL_GET_VERSION, PYXO_IOCTL_ATTACH,     PYXO_IOCTL_ATTACH,   PYXO_IOCTL_RELEASE,
    PYXO_IOCTL_COMMAND,     PYXO_IOCTL_COMMAND,    PYXO_IOCTL_COMMAND,  PYXO_IOCTL_COMMAND,
    VTD_IOCTL_LIST,         VTD_IOCTL_INSERT_TOKEN, VTD_IOCTL_INSERT_DEVICE, VTD_IOCTL_REMOVE,
    VTD_IOCTL_EXPORT,
};

// The token's commands with their request lengths, wide and narrow form.
struct TokenCommand {
    uint16_t code;
    uint8_t wide;
    uint8_t narrow;
};

constexpr TokenCommand kTokenCommands[] = {
    {PYXO_CMD_GET_RESPONSE, 0, 0},  {PYXO_CMD_DIAGNOSE, 0, 0},
    {PYXO_CMD_LED, 2, 2},           {PYXO_CMD_RESET, 0, 0},
    {PYXO_CMD_SETTINGS, 8, 8},      {PYXO_CMD_SERIAL_NUMBER, 0, 0},
    {PYXO_CMD_GET_ACCESS_SETTINGS, 0, 0}, {PYXO_CMD_DIR, 6, 4},
    {PYXO_CMD_SELECT_FILE, 8, 4},   {PYXO_CMD_CLOSE_FILE, 0, 0},
    {PYXO_CMD_READ_FILE, 4, 4},     {PYXO_CMD_WRITE_FILE, 80, 80},
    {PYXO_CMD_DECREMENT, 0, 0},     {PYXO_CMD_CREATE_DIR, 12, 6},
    {PYXO_CMD_CREATE_FILE, 12, 8},  {PYXO_CMD_DELETE_DIR, 4, 4},
    {PYXO_CMD_DELETE_FILE, 8, 4},   {PYXO_CMD_VERIFY_PIN, 4, 4},
    {PYXO_CMD_VERIFY_MASTER_KEY, 8, 8}, {PYXO_CMD_HASH_RAW, 80, 80},
    {PYXO_CMD_HASH_KEYED, 80, 80},  {PYXO_CMD_GET_CHALLENGE, 0, 0},
    {PYXO_CMD_HASH_CHAP, 80, 80},
};

// Request lengths of the sub-operations of PYXO_CMD_SETTINGS.
constexpr uint8_t kSettingsLengths[] = {8, 6, 12, 4};

template <typename T, size_t N>
T pick(FuzzInput &in, const T (&table)[N])
{
    return table[in.below(uint32_t(N))];
}

// Deterministic "random" bytes, so that every input replays the same.
void random_bytes(void *context, uint8_t *out, size_t n)
{
    uint64_t &x = *(uint64_t *)context;
    for (size_t i = 0; i < n; ++i) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        out[i] = uint8_t(x);
    }
}

std::vector<uint8_t> take(FuzzInput &in, size_t n)
{
    std::vector<uint8_t> bytes(n);
    in.bytes(bytes.data(), n);
    return bytes;
}

void check_result(uint32_t error, uint32_t returned, uint32_t out_size)
{
    FUZZ_CHECK(known_vtd_error(error), "an error of the driver's table");
    FUZZ_CHECK(returned <= out_size, "never more returned than out_size");
    if (error != 0)
        FUZZ_CHECK(returned == 0, "nothing returned with an error");
}

// What the answer of a successful control must look like.
void check_answer(uint32_t code, const uint8_t *out, uint32_t returned)
{
    switch (code) {
    case PYXO_IOCTL_GET_VERSION:
        FUZZ_CHECK(returned == 4 && get_le32(out) == VTD_DRIVER_VERSION, "the driver version");
        break;
    case PYXO_IOCTL_ATTACH: {
        FUZZ_CHECK(returned == PYXO_ATTACH_BLOCK_SIZE, "attach answers its block");
        const uint32_t index = get_le32(out + PYXO_ATTACH_DEVICE_INDEX);
        FUZZ_CHECK(index >= 1 && index <= VTD_POSITIONS, "attach: one past a position");
        break;
    }
    case PYXO_IOCTL_COMMAND:
        FUZZ_CHECK(returned <= 64, "a token answers at most 64 bytes");
        break;
    case VTD_IOCTL_LIST:
        FUZZ_CHECK(returned == kListSize, "the list of every position");
        break;
    case VTD_IOCTL_EXPORT:
        FUZZ_CHECK(vtd_check_image(out, returned) == VTD_IMAGE_OK,
                   "an exported image is one the core accepts");
        break;
    default:
        break;
    }
}

} // namespace

bool known_vtd_error(uint32_t error)
{
    static const uint32_t kErrors[] = {
        0,
        VTD_ERROR_INVALID_FUNCTION,
        VTD_ERROR_TOO_MANY_OPEN_FILES,
        VTD_ERROR_ACCESS_DENIED,
        VTD_ERROR_INVALID_HANDLE,
        VTD_ERROR_INVALID_DATA,
        VTD_ERROR_NOT_SUPPORTED,
        VTD_ERROR_INVALID_PARAMETER,
        VTD_ERROR_INSUFFICIENT_BUFFER,
        VTD_ERROR_ALREADY_EXISTS,
        VTD_ERROR_NO_MORE_ITEMS,
        VTD_ERROR_DEVICE_NOT_CONNECTED,
    };
    return std::find(std::begin(kErrors), std::end(kErrors), error) != std::end(kErrors);
}

void fix_image_frame(std::vector<uint8_t> &image)
{
    if (image.size() < kImageHeaderSize)
        return;
    put_le32(image.data() + kImageSizeAt, uint32_t(image.size()));
    put_le32(image.data() + kImageChecksumAt, 0);
    put_le32(image.data() + kImageChecksumAt,
             vtd::crc32_update(0, image.data(), uint32_t(image.size())));
}

// The driver's memory (over a megabyte) and a scratch image, allocated
// once: fresh allocations of that size cost more than a whole run.
uint64_t *VtdSession::driver_memory()
{
    static uint64_t *memory = new uint64_t[(vtd_driver_size() + 7) / 8];
    return memory;
}

std::vector<uint8_t> &VtdSession::scratch(size_t size)
{
    static std::vector<uint8_t> bytes;
    bytes.resize(size);
    return bytes;
}

VtdSession::VtdSession(FuzzInput &in)
    : in_(in), size_(vtd_driver_size()), driver_((vtd_driver *)driver_memory()),
      random_state_(0x9E3779B97F4A7C15ull | in.u8())
{
    vtd_driver_init(driver_, random_bytes, &random_state_);
    // Two tokens whose settings allow everything, one of each identifier
    // width, and one handle: a script can go straight to work.
    vtd_token_params params{};
    params.memory_words = 0x1000;
    for (uint8_t model : {uint8_t(0x50), uint8_t(0x4F)}) {
        params.model = model;
        params.serial[0] = model;
        FUZZ_CHECK(vtd_new_token(driver_, model == 0x50 ? 0 : 1, &params) == 0, "a new token");
    }
    open_handle();
}

void VtdSession::run_script(unsigned max_steps)
{
    for (unsigned i = 0; i < max_steps && !in_.empty(); ++i)
        step();
}

void VtdSession::step()
{
    switch (in_.u8() % 16) {
    case 0:
        return open_handle();
    case 1:
        return close_handle();
    case 10:
        return new_token();
    case 11:
        return insert_device();
    case 12:
        return remove();
    case 13:
        return export_image();
    case 14:
        return import_image();
    case 15:
        vtd_take_changed(driver_);
        FUZZ_CHECK(vtd_take_changed(driver_) == 0, "taking the changes clears them");
        return;
    default:
        return control();
    }
}

void VtdSession::finish()
{
    for (uint32_t handle : handles_)
        vtd_close_handle(driver_, handle);
    for (uint32_t position = 0; position < VTD_POSITIONS; ++position)
        export_checked(position);
}

void VtdSession::open_handle()
{
    uint32_t handle = kUnset;
    const uint32_t error = vtd_open_handle(driver_, &handle);
    FUZZ_CHECK(error == 0 || error == VTD_ERROR_TOO_MANY_OPEN_FILES, "opening a handle");
    if (error == 0) {
        FUZZ_CHECK(std::find(handles_.begin(), handles_.end(), handle) == handles_.end(),
                   "a new handle is never an old one");
        handles_.push_back(handle);
    }
}

void VtdSession::close_handle()
{
    vtd_close_handle(driver_, choose_handle()); // also unknown and closed ones
}

uint32_t VtdSession::choose_handle()
{
    if (handles_.empty() || in_.u8() % 8 == 0)
        return in_.u32();
    return handles_[in_.below(uint32_t(handles_.size()))];
}

uint32_t VtdSession::choose_position()
{
    return in_.u8() % 16 == 0 ? in_.u32() : in_.u8() % (VTD_POSITIONS + 1);
}

std::vector<uint8_t> VtdSession::choose_image()
{
    const uint8_t how = in_.u8();
    std::vector<uint8_t> image;
    if (how % 2 == 0)
        image = export_checked(in_.u8() % VTD_POSITIONS);
    if (image.empty())
        image = take(in_, in_.size(512, kMaxBytes));
    else if (how % 4 == 0) // one byte changed
        image[in_.below(uint32_t(image.size()))] ^= uint8_t(1 + in_.u8() % 255);
    if (how & 4)
        fix_image_frame(image);
    return image;
}

// A command block: mostly one of the token's commands with small
// parameters and the payload length its request has, else anything.
std::vector<uint8_t> VtdSession::command_block()
{
    std::vector<uint8_t> block(PYXO_COMMAND_BLOCK_SIZE);
    put_le32(block.data(), in_.u8() % 8 == 0 ? in_.u32() : in_.u8() % (VTD_POSITIONS + 2));
    const uint16_t param1 = in_.u8() % 4 == 0 ? in_.u16() : in_.u8() % 4;
    const uint16_t param2 = in_.u8() % 4 == 0 ? in_.u16() : in_.u8() % 4;
    put_le16(block.data() + PYXO_COMMAND_PARAM1, param1);
    put_le16(block.data() + PYXO_COMMAND_PARAM2, param2);
    const TokenCommand command = pick(in_, kTokenCommands);
    const bool any_code = in_.u8() % 16 == 0;
    put_le16(block.data() + PYXO_COMMAND_CODE, any_code ? in_.u16() : command.code);
    uint32_t length = in_.flag() ? command.wide : command.narrow;
    if (command.code == PYXO_CMD_SETTINGS)
        length = kSettingsLengths[param1 % 4];
    if (command.code == PYXO_CMD_WRITE_FILE)
        length = 4 + 2 * (in_.u8() % 39); // an even number of data bytes
    uint32_t payload = length > 4 ? length - 4 : 0;
    if (in_.u8() % 8 == 0)
        payload = in_.u8() % 8 == 0 ? in_.u16() : in_.u8() % 81;
    put_le16(block.data() + PYXO_COMMAND_PAYLOAD_LENGTH, payload);
    const uint32_t carried = std::min<uint32_t>(payload, PYXO_PAYLOAD_CAPACITY);
    uint8_t *bytes = block.data() + PYXO_COMMAND_PAYLOAD;
    if (carried < 2 || in_.flag()) {
        in_.bytes(bytes, carried);
        return block;
    }
    // Mostly zeros with a few 16-bit values: identifiers, sizes, offsets.
    for (uint32_t pokes = in_.u8() % 4; pokes > 0; --pokes)
        put_le16(bytes + in_.below(carried - 1), in_.u8() % 2 ? in_.u8() : in_.u16());
    return block;
}

std::vector<uint8_t> VtdSession::control_input(uint32_t code)
{
    std::vector<uint8_t> block;
    switch (code) {
    case PYXO_IOCTL_ATTACH:
    case PYXO_IOCTL_RELEASE:
        block.resize(PYXO_ATTACH_BLOCK_SIZE);
        put_le32(block.data(), in_.u8() % 8 == 0 ? in_.u32() : in_.u8() % (VTD_POSITIONS + 2));
        put_le32(block.data() + PYXO_ATTACH_STATUS, 0xFF);
        return block;
    case PYXO_IOCTL_COMMAND:
        return command_block();
    case VTD_IOCTL_INSERT_TOKEN:
    case VTD_IOCTL_INSERT_DEVICE: {
        block.resize(kInsertHeader);
        put_le32(block.data(), choose_position());
        put_le32(block.data() + 4, in_.u8() % 4 == 0 ? in_.u32() : in_.u8() % 2);
        const std::vector<uint8_t> rest =
            code == VTD_IOCTL_INSERT_TOKEN ? choose_image() : take(in_, 32);
        block.insert(block.end(), rest.begin(), rest.end());
        return block;
    }
    case VTD_IOCTL_REMOVE:
    case VTD_IOCTL_EXPORT:
        block.resize(4);
        put_le32(block.data(), choose_position());
        return block;
    case PYXO_IOCTL_GET_VERSION:
    case VTD_IOCTL_LIST:
        return block;
    default:
        return take(in_, in_.size(64, 1024));
    }
}

uint32_t VtdSession::control_out_size(uint32_t code)
{
    if (in_.u8() % 8 == 0)
        return in_.size(600, kMaxBytes);
    switch (code) {
    case PYXO_IOCTL_GET_VERSION:
        return 4;
    case PYXO_IOCTL_ATTACH:
        return PYXO_ATTACH_BLOCK_SIZE;
    case PYXO_IOCTL_COMMAND:
        return in_.u8() % 65;
    case VTD_IOCTL_LIST:
        return kListSize;
    case VTD_IOCTL_EXPORT:
        return in_.u8() % 4 == 0 ? vtd_max_image_size() : in_.size(1024, kMaxBytes);
    default:
        return 0;
    }
}

void VtdSession::control()
{
    const uint32_t handle = choose_handle();
    const uint32_t code = in_.u8() % 16 == 0 ? in_.u32() : pick(in_, kCodes);
    std::vector<uint8_t> input = control_input(code);
    if (in_.u8() % 8 == 0) { // a block cut short or with bytes to spare
        const size_t size = in_.size(300, 1024);
        const size_t old = input.size();
        input.resize(size);
        if (size > old)
            in_.bytes(input.data() + old, size - old);
    }
    const uint32_t in_size = uint32_t(input.size());
    const uint32_t out_size = control_out_size(code);
    const uint8_t layout = in_.u8();
    uint32_t returned = kUnset;
    uint32_t error = 0;
    if (layout % 4 == 0) {
        // One buffer for both, as a kernel driver gets them: all input
        // must be read before output is written.
        ExactBuffer buffer(std::max(in_size, out_size));
        if (in_size > 0)
            memcpy(buffer.data(), input.data(), in_size);
        const ExactBuffer before = buffer.copy();
        error = vtd_control(driver_, handle, code, buffer.data(), in_size, buffer.data(), out_size,
                            &returned);
        check_result(error, returned, out_size);
        FUZZ_CHECK(memcmp(buffer.data() + returned, before.data() + returned,
                          buffer.size() - returned) == 0,
                   "nothing written past the bytes returned");
        if (error == 0)
            check_answer(code, buffer.data(), returned);
        return;
    }
    const bool null_in = layout == 0xFD && in_size > 0;
    const bool null_out = layout == 0xFF && out_size > 0;
    ExactBuffer in_buffer(in_size);
    if (in_size > 0)
        memcpy(in_buffer.data(), input.data(), in_size);
    ExactBuffer out(out_size);
    const ExactBuffer untouched = out.copy();
    error = vtd_control(driver_, handle, code, null_in ? nullptr : in_buffer.data(), in_size,
                        null_out ? nullptr : out.data(), out_size, &returned);
    check_result(error, returned, out_size);
    FUZZ_CHECK(in_size == 0 || memcmp(in_buffer.data(), input.data(), in_size) == 0,
               "the input left alone");
    FUZZ_CHECK(memcmp(out.data() + returned, untouched.data() + returned, out_size - returned) == 0,
               "nothing written past the bytes returned");
    if ((null_in || null_out) && error != VTD_ERROR_INVALID_HANDLE)
        FUZZ_CHECK(error == VTD_ERROR_INVALID_PARAMETER, "a null buffer with a size");
    if (error == 0)
        check_answer(code, out.data(), returned);
}

void VtdSession::new_token()
{
    const uint32_t position = choose_position();
    vtd_token_params params{};
    params.model = in_.u8() % 8 == 0 ? in_.u8() : uint8_t(0x40 + in_.u8() % 32);
    params.memory_words = in_.u8() % 8 == 0 ? in_.u16() : uint16_t(64 + in_.u16() % 0x2000);
    in_.bytes(params.serial, sizeof params.serial);
    params.pin = in_.u32();
    in_.bytes(params.master_key, sizeof params.master_key);
    params.settings[0] = in_.u8() % 4 == 0 ? in_.u8() : in_.u8() & 0x3F;
    params.settings[1] = in_.u8();
    const uint32_t error = vtd_new_token(driver_, position, &params);
    uint32_t expected = VTD_IMAGE_OK;
    if (position >= VTD_POSITIONS)
        expected = VTD_IMAGE_BAD_POSITION;
    else if (params.model < 0x40 || params.model > 0x5F || params.memory_words < 64)
        expected = VTD_IMAGE_BAD_DESCRIPTOR;
    else if ((params.settings[0] & 0xC0) != 0)
        expected = VTD_IMAGE_BAD_CREDENTIALS;
    FUZZ_CHECK(error == expected, "vtd_new_token: its checks");
    if (error == 0)
        FUZZ_CHECK(!export_checked(position).empty(), "a new token has an image");
}

void VtdSession::insert_device()
{
    const uint32_t position = choose_position();
    const std::vector<uint8_t> descriptor = take(in_, 32);
    const uint32_t error = vtd_insert_device(driver_, position, descriptor.data());
    FUZZ_CHECK(error == (position < VTD_POSITIONS ? 0u : uint32_t(VTD_IMAGE_BAD_POSITION)),
               "vtd_insert_device");
}

void VtdSession::remove()
{
    const uint32_t position = choose_position();
    const uint32_t error = vtd_remove(driver_, position);
    FUZZ_CHECK(error == (position < VTD_POSITIONS ? 0u : uint32_t(VTD_IMAGE_BAD_POSITION)),
               "vtd_remove");
}

void VtdSession::export_image()
{
    const uint32_t position = choose_position();
    ExactBuffer out(in_.u8() % 8 == 0 ? vtd_max_image_size() : in_.size(1024, kMaxBytes));
    const ExactBuffer untouched = out.copy();
    const uint32_t size = vtd_export_image(driver_, position, out.data(), uint32_t(out.size()));
    FUZZ_CHECK(size <= out.size(), "an export fits the buffer");
    FUZZ_CHECK(memcmp(out.data() + size, untouched.data() + size, out.size() - size) == 0,
               "nothing written past the image");
    if (size > 0)
        FUZZ_CHECK(vtd_check_image(out.data(), size) == VTD_IMAGE_OK, "an exported image is valid");
}

void VtdSession::import_image()
{
    const uint32_t position = choose_position();
    const std::vector<uint8_t> image = choose_image();
    ExactBuffer exact(image.size());
    if (!image.empty())
        memcpy(exact.data(), image.data(), image.size());
    std::vector<uint8_t> &before = scratch(size_);
    memcpy(before.data(), memory(), size_);
    const uint32_t checked = vtd_check_image(exact.data(), uint32_t(exact.size()));
    const uint32_t error = vtd_import_image(driver_, position, exact.data(), uint32_t(exact.size()));
    FUZZ_CHECK(error <= VTD_IMAGE_BAD_POSITION, "an image error of the table");
    FUZZ_CHECK(error == (position < VTD_POSITIONS ? checked : uint32_t(VTD_IMAGE_BAD_POSITION)),
               "import judges as vtd_check_image");
    FUZZ_CHECK(image.empty() || memcmp(exact.data(), image.data(), image.size()) == 0,
               "the image left alone");
    if (error != 0) {
        FUZZ_CHECK(memcmp(before.data(), memory(), size_) == 0, "a refused image changes nothing");
        return;
    }
    FUZZ_CHECK(export_checked(position) == image, "an imported token exports as its image");
}

std::vector<uint8_t> VtdSession::export_checked(uint32_t position)
{
    std::vector<uint8_t> &all = scratch(vtd_max_image_size());
    const uint32_t size = vtd_export_image(driver_, position, all.data(), uint32_t(all.size()));
    std::vector<uint8_t> image(all.begin(), all.begin() + size);
    if (size == 0)
        return image;
    FUZZ_CHECK(vtd_check_image(image.data(), size) == VTD_IMAGE_OK, "an exported image is valid");
    ExactBuffer exact(size);
    FUZZ_CHECK(vtd_export_image(driver_, position, exact.data(), size) == size &&
                   memcmp(exact.data(), image.data(), size) == 0,
               "the same image into a buffer of exactly its size");
    ExactBuffer short_by_one(size - 1);
    FUZZ_CHECK(vtd_export_image(driver_, position, short_by_one.data(), size - 1) == 0,
               "no image into a buffer too small");
    return image;
}
