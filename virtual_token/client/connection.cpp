// Management requests through the platform's driver calls.
#include <cstring>

#include "device/driver_interface.h"
#include "platform/platform.h"
#include "util/bytes.h"
#include "vtd_client.h"

namespace vtd_client {

namespace {

Bytes position_request(uint32_t position, uint32_t flags, size_t extra)
{
    Bytes in(8 + extra);
    put_le32(in.data(), position);
    put_le32(in.data() + 4, flags);
    return in;
}

PositionInfo decode_record(const uint8_t *r)
{
    PositionInfo p;
    p.kind = r[VTD_LIST_KIND];
    p.attached = r[VTD_LIST_ATTACHED] != 0;
    p.led = uint16_t(get_le16(r + VTD_LIST_LED));
    std::memcpy(p.serial.data(), r + VTD_LIST_SERIAL, p.serial.size());
    p.image_size = get_le32(r + VTD_LIST_IMAGE_SIZE);
    std::memcpy(p.descriptor.data(), r + VTD_LIST_DESCRIPTOR, p.descriptor.size());
    return p;
}

} // namespace

Connection::Connection()
{
    handle_ = CreateFileA(PYXO_DRIVER_PATH, GENERIC_READ | GENERIC_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE)
        open_error_ = GetLastError();
}

Connection::~Connection()
{
    if (handle_ != INVALID_HANDLE_VALUE)
        CloseHandle(handle_);
}

uint32_t Connection::control(uint32_t code, const Bytes &in, Bytes &out, uint32_t out_size)
{
    out.assign(out_size, 0);
    if (open_error_ != 0)
        return open_error_;
    DWORD returned = 0;
    Bytes input = in; // the call takes a writable buffer
    if (!DeviceIoControl(handle_, code, input.empty() ? nullptr : input.data(), DWORD(input.size()),
                         out.empty() ? nullptr : out.data(), out_size, &returned, nullptr)) {
        out.clear();
        return GetLastError();
    }
    out.resize(returned);
    return 0;
}

uint32_t Connection::list(std::vector<PositionInfo> &positions)
{
    Bytes out;
    const uint32_t size = VTD_LIST_HEADER_SIZE + VTD_POSITIONS * VTD_LIST_RECORD_SIZE;
    const uint32_t error = control(VTD_IOCTL_LIST, {}, out, size);
    if (error != 0)
        return error;
    if (out.size() < VTD_LIST_HEADER_SIZE)
        return VTD_ERROR_INVALID_DATA;
    const uint32_t count = get_le32(out.data());
    if (out.size() < VTD_LIST_HEADER_SIZE + size_t(count) * VTD_LIST_RECORD_SIZE)
        return VTD_ERROR_INVALID_DATA;
    positions.clear();
    for (uint32_t i = 0; i < count; i++)
        positions.push_back(decode_record(&out[VTD_LIST_HEADER_SIZE + i * VTD_LIST_RECORD_SIZE]));
    return 0;
}

uint32_t Connection::insert_token(uint32_t position, const Bytes &image, bool replace)
{
    if (vtd_check_image(image.data(), uint32_t(image.size())) != VTD_IMAGE_OK)
        return VTD_ERROR_INVALID_DATA;
    Bytes in = position_request(position, replace ? VTD_INSERT_REPLACE : 0, image.size());
    std::memcpy(in.data() + 8, image.data(), image.size());
    Bytes out;
    return control(VTD_IOCTL_INSERT_TOKEN, in, out, 0);
}

uint32_t Connection::insert_device(uint32_t position, const std::array<uint8_t, 32> &descriptor,
                                   bool replace)
{
    Bytes in = position_request(position, replace ? VTD_INSERT_REPLACE : 0, descriptor.size());
    std::memcpy(in.data() + 8, descriptor.data(), descriptor.size());
    Bytes out;
    return control(VTD_IOCTL_INSERT_DEVICE, in, out, 0);
}

uint32_t Connection::remove(uint32_t position)
{
    Bytes in(4), out;
    put_le32(in.data(), position);
    return control(VTD_IOCTL_REMOVE, in, out, 0);
}

uint32_t Connection::export_image(uint32_t position, Bytes &image)
{
    Bytes in(4);
    put_le32(in.data(), position);
    return control(VTD_IOCTL_EXPORT, in, image, vtd_max_image_size());
}

std::string image_problem(const Bytes &image)
{
    const uint32_t error = vtd_check_image(image.data(), uint32_t(image.size()));
    return error == VTD_IMAGE_OK ? std::string() : vtd_image_error_text(error);
}

} // namespace vtd_client
