// Putting devices at positions and taking them away: the C interface's
// image, token and device functions, which the management controls use
// too.
#include <string.h>

#include "driver.h"
#include "image.h"

using namespace vtd;

namespace vtd {

void detach(Position &position)
{
    position.handle = kNoHandle;
    if (position.kind == VTD_KIND_TOKEN)
        end_session(position.token);
}

void clear_position(vtd_driver *driver, uint32_t index)
{
    Position &p = driver->positions[index];
    memset(&p, 0, sizeof p);
    driver->changed |= 1u << index;
}

} // namespace vtd

namespace {

// The descriptor a new token reports: length 8, capability groups of one
// byte (bit 0 the hash modes, bit 1 a parameter byte follows), and the
// parameter: the token's request buffer in units of 8 bytes.
constexpr uint8_t kNewDescriptorLength = 8;
constexpr uint8_t kHardwareRevision = 1;
constexpr uint8_t kFirmwareRevision = 0x10;
constexpr uint8_t kCapabilities = 0x03;
constexpr uint8_t kCapabilityParameter = kMaxRequest / 8;

uint32_t check_params(const vtd_token_params *params)
{
    if (params->model < kFirstModel || params->model > kLastModel ||
        params->memory_words < kMinMemoryWords)
        return VTD_IMAGE_BAD_DESCRIPTOR;
    if ((params->settings[0] & 0xC0) != 0)
        return VTD_IMAGE_BAD_CREDENTIALS;
    return VTD_IMAGE_OK;
}

void make_descriptor(uint8_t *d, const vtd_token_params *params)
{
    d[kDescriptorLength] = kNewDescriptorLength;
    d[kDescriptorModel] = params->model;
    d[2] = kHardwareRevision;
    d[3] = kFirmwareRevision;
    put_le16(d + kDescriptorMemoryWords, params->memory_words);
    d[6] = kCapabilities;
    d[7] = kCapabilityParameter;
}

} // namespace

extern "C" {

uint32_t vtd_new_token(vtd_driver *driver, uint32_t position, const vtd_token_params *params)
{
    if (position >= kPositions)
        return VTD_IMAGE_BAD_POSITION;
    const uint32_t status = check_params(params);
    if (status != VTD_IMAGE_OK)
        return status;
    clear_position(driver, position);
    Position &p = driver->positions[position];
    p.kind = VTD_KIND_TOKEN;
    Token &t = p.token;
    make_descriptor(t.descriptor, params);
    memcpy(t.serial, params->serial, kSerialSize);
    t.pin = params->pin;
    memcpy(t.master_key, params->master_key, kMasterKeySize);
    memcpy(t.settings, params->settings, kSettingsSize);
    t.selected = kNoSelection;
    return VTD_IMAGE_OK;
}

uint32_t vtd_insert_device(vtd_driver *driver, uint32_t position, const uint8_t descriptor[32])
{
    if (position >= kPositions)
        return VTD_IMAGE_BAD_POSITION;
    clear_position(driver, position);
    Position &p = driver->positions[position];
    p.kind = VTD_KIND_DEVICE;
    memcpy(p.descriptor, descriptor, kDescriptorSize);
    return VTD_IMAGE_OK;
}

uint32_t vtd_remove(vtd_driver *driver, uint32_t position)
{
    if (position >= kPositions)
        return VTD_IMAGE_BAD_POSITION;
    clear_position(driver, position);
    return VTD_IMAGE_OK;
}

uint32_t vtd_max_image_size(void)
{
    return kMaxImageSize;
}

uint32_t vtd_export_image(vtd_driver *driver, uint32_t position, uint8_t *out, uint32_t out_size)
{
    if (position >= kPositions || driver->positions[position].kind != VTD_KIND_TOKEN)
        return 0;
    const Token &token = driver->positions[position].token;
    const uint32_t size = image_size(token);
    if (out == nullptr || out_size < size)
        return 0;
    write_image(token, out);
    return size;
}

uint32_t vtd_check_image(const uint8_t *image, uint32_t size)
{
    return check_image(image, size);
}

uint32_t vtd_import_image(vtd_driver *driver, uint32_t position, const uint8_t *image,
                          uint32_t size)
{
    if (position >= kPositions)
        return VTD_IMAGE_BAD_POSITION;
    const uint32_t status = check_image(image, size);
    if (status != VTD_IMAGE_OK)
        return status;
    clear_position(driver, position);
    Position &p = driver->positions[position];
    p.kind = VTD_KIND_TOKEN;
    load_image(p.token, image);
    return VTD_IMAGE_OK;
}

const char *vtd_image_error_text(uint32_t error)
{
    static const char *const kTexts[] = {
        "no error",
        "truncated: shorter than its header or its stated size",
        "not a token image (wrong magic)",
        "unknown image format version",
        "stated size and byte count disagree (trailing bytes)",
        "damaged: checksum mismatch",
        "header fields out of range or inconsistent",
        "descriptor is not a token's (length, model or memory size)",
        "settings or credential block out of range",
        "a directory or file record is out of range",
        "two records with the same identifiers",
        "a file in a directory that does not exist",
        "directories or files exceed their directory or the memory",
        "no such position",
    };
    const uint32_t count = sizeof kTexts / sizeof kTexts[0];
    return error < count ? kTexts[error] : "unknown image error";
}

} // extern "C"
