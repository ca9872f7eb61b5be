#include "driver_device.h"

#include <cstring>
#include <memory>

#include "vtd_manage.h"

namespace vuxa_windows_test {

namespace {

void put_u32(Bytes &out, uint32_t value)
{
    for (int i = 0; i < 4; i++)
        out.push_back(uint8_t(value >> (8 * i)));
}

void counter_random(void *context, uint8_t *out, size_t n)
{
    auto *counter = static_cast<uint8_t *>(context);
    for (size_t i = 0; i < n; i++)
        out[i] = (*counter)++;
}

// A new token's image, made by a driver core in this process.
Bytes new_token_image(const vtd_token_params &params)
{
    std::unique_ptr<uint64_t[]> memory(new uint64_t[vtd_driver_size() / 8 + 1]);
    auto *driver = reinterpret_cast<vtd_driver *>(memory.get());
    uint8_t counter = 0;
    vtd_driver_init(driver, counter_random, &counter);
    if (vtd_new_token(driver, 0, &params) != 0)
        return {};
    Bytes image(vtd_max_image_size());
    image.resize(vtd_export_image(driver, 0, image.data(), uint32_t(image.size())));
    return image;
}

} // namespace

DriverDevice::DriverDevice()
    : handle_(CreateFileA("\\\\.\\VUXADRVR", GENERIC_READ | GENERIC_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr))
{
}

DriverDevice::~DriverDevice() { close(); }

void DriverDevice::close()
{
    if (handle_ != INVALID_HANDLE_VALUE)
        CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
}

Reply DriverDevice::control(DWORD code, const Bytes &in, DWORD out_size, DWORD initial_returned)
{
    Reply reply;
    reply.output.assign(out_size, 0xEE);
    reply.returned = initial_returned;
    Bytes input = in;
    reply.ok = DeviceIoControl(handle_, code, input.empty() ? nullptr : input.data(),
                               DWORD(input.size()), out_size ? reply.output.data() : nullptr,
                               out_size, &reply.returned, nullptr) != FALSE;
    reply.error = reply.ok ? 0 : GetLastError();
    return reply;
}

vtd_token_params token_params(uint8_t model, uint8_t serial_seed)
{
    vtd_token_params params{};
    params.model = model;
    params.memory_words = 0x1000;
    for (int i = 0; i < 8; i++)
        params.serial[i] = uint8_t(serial_seed + 0x11 * i);
    params.pin = 0x31323334;
    std::memcpy(params.master_key, "KEY-0123", 8);
    params.settings[0] = 0x1B;
    params.settings[1] = 0x53;
    return params;
}

DWORD insert_token(const vtd_token_params &params, uint32_t position)
{
    Bytes image = new_token_image(params);
    if (image.empty())
        return ERROR_INVALID_DATA;
    Bytes in;
    put_u32(in, position);
    put_u32(in, VTD_INSERT_REPLACE);
    in.insert(in.end(), image.begin(), image.end());
    DriverDevice device;
    return device.control(VTD_IOCTL_INSERT_TOKEN, in, 0).error;
}

DWORD remove_position(uint32_t position)
{
    Bytes in;
    put_u32(in, position);
    DriverDevice device;
    return device.control(VTD_IOCTL_REMOVE, in, 0).error;
}

void remove_all_positions()
{
    for (uint32_t position = 0; position < VTD_POSITIONS; position++)
        remove_position(position);
}

} // namespace vuxa_windows_test
