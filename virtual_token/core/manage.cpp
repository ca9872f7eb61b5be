// The management I/O controls: list, insert a token or another device,
// remove, export.  Layouts: vtd_manage.h and docs/virtual-token.md.
#include <string.h>

#include "driver.h"
#include "image.h"

using namespace vtd;

namespace {

constexpr uint32_t kPositionField = 4;
constexpr uint32_t kInsertHeader = 8; // position, flags

void list_record(const Position &p, uint8_t *r)
{
    memset(r, 0, VTD_LIST_RECORD_SIZE);
    r[VTD_LIST_KIND] = p.kind;
    r[VTD_LIST_ATTACHED] = p.handle != kNoHandle;
    if (p.kind == VTD_KIND_EMPTY)
        return;
    memcpy(r + VTD_LIST_DESCRIPTOR, descriptor_of(p), kDescriptorSize);
    if (p.kind != VTD_KIND_TOKEN)
        return;
    put_le16(r + VTD_LIST_LED, p.token.led);
    memcpy(r + VTD_LIST_SERIAL, p.token.serial, kSerialSize);
    put_le32(r + VTD_LIST_IMAGE_SIZE, image_size(p.token));
}

uint32_t list(const vtd_driver *driver, uint8_t *out, uint32_t out_size, uint32_t *returned)
{
    const uint32_t size = VTD_LIST_HEADER_SIZE + kPositions * VTD_LIST_RECORD_SIZE;
    if (out_size < size)
        return VTD_ERROR_INSUFFICIENT_BUFFER;
    put_le32(out, kPositions);
    for (uint32_t i = 0; i < kPositions; i++)
        list_record(driver->positions[i], out + VTD_LIST_HEADER_SIZE + i * VTD_LIST_RECORD_SIZE);
    *returned = size;
    return 0;
}

// The position an insert names, when it may be used.
uint32_t insert_position(const vtd_driver *driver, const uint8_t *in, uint32_t in_size,
                         uint32_t needed, uint32_t *position)
{
    if (in_size < needed)
        return VTD_ERROR_INVALID_PARAMETER;
    *position = get_le32(in);
    if (*position >= kPositions)
        return VTD_ERROR_INVALID_PARAMETER;
    const bool replace = (get_le32(in + kPositionField) & VTD_INSERT_REPLACE) != 0;
    if (!replace && driver->positions[*position].kind != VTD_KIND_EMPTY)
        return VTD_ERROR_ALREADY_EXISTS;
    return 0;
}

uint32_t insert_token(vtd_driver *driver, const uint8_t *in, uint32_t in_size)
{
    uint32_t position = 0;
    const uint32_t error = insert_position(driver, in, in_size, kInsertHeader, &position);
    if (error != 0)
        return error;
    const uint32_t status =
        vtd_import_image(driver, position, in + kInsertHeader, in_size - kInsertHeader);
    return status == VTD_IMAGE_OK ? 0 : VTD_ERROR_INVALID_DATA;
}

uint32_t insert_device(vtd_driver *driver, const uint8_t *in, uint32_t in_size)
{
    uint32_t position = 0;
    const uint32_t error =
        insert_position(driver, in, in_size, kInsertHeader + kDescriptorSize, &position);
    if (error != 0)
        return error;
    vtd_insert_device(driver, position, in + kInsertHeader);
    return 0;
}

// The position a remove or export names, when something is there.
uint32_t occupied_position(const vtd_driver *driver, const uint8_t *in, uint32_t in_size,
                           uint32_t *position)
{
    if (in_size < kPositionField)
        return VTD_ERROR_INVALID_PARAMETER;
    *position = get_le32(in);
    if (*position >= kPositions)
        return VTD_ERROR_INVALID_PARAMETER;
    if (driver->positions[*position].kind == VTD_KIND_EMPTY)
        return VTD_ERROR_DEVICE_NOT_CONNECTED;
    return 0;
}

uint32_t remove(vtd_driver *driver, const uint8_t *in, uint32_t in_size)
{
    uint32_t position = 0;
    const uint32_t error = occupied_position(driver, in, in_size, &position);
    if (error == 0)
        clear_position(driver, position);
    return error;
}

uint32_t export_image(vtd_driver *driver, const uint8_t *in, uint32_t in_size, uint8_t *out,
                      uint32_t out_size, uint32_t *returned)
{
    uint32_t position = 0;
    const uint32_t error = occupied_position(driver, in, in_size, &position);
    if (error != 0)
        return error;
    const Position &p = driver->positions[position];
    if (p.kind != VTD_KIND_TOKEN)
        return VTD_ERROR_NOT_SUPPORTED;
    if (out_size < image_size(p.token))
        return VTD_ERROR_INSUFFICIENT_BUFFER;
    *returned = vtd_export_image(driver, position, out, out_size);
    return 0;
}

} // namespace

namespace vtd {

uint32_t manage_control(vtd_driver *driver, uint32_t code, const uint8_t *in, uint32_t in_size,
                        uint8_t *out, uint32_t out_size, uint32_t *returned)
{
    switch (code) {
    case VTD_IOCTL_LIST:
        return list(driver, out, out_size, returned);
    case VTD_IOCTL_INSERT_TOKEN:
        return insert_token(driver, in, in_size);
    case VTD_IOCTL_INSERT_DEVICE:
        return insert_device(driver, in, in_size);
    case VTD_IOCTL_REMOVE:
        return remove(driver, in, in_size);
    case VTD_IOCTL_EXPORT:
        return export_image(driver, in, in_size, out, out_size, returned);
    default:
        return VTD_ERROR_INVALID_FUNCTION;
    }
}

} // namespace vtd
