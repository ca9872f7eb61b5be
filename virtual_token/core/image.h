// The token image, format version 1 (docs/token-image.md): a 32-byte
// header, a 64-byte token block, 16 bytes per entry, then the file
// contents in entry order.  All fields little-endian.
#ifndef VTD_IMAGE_H
#define VTD_IMAGE_H

#include "token.h"

namespace vtd {

constexpr uint8_t kImageMagic[8] = {'V', 'T', 'O', 'K', 'E', 'N', '\r', '\n'};
constexpr uint32_t kImageVersion = 1;

// Header.
enum : uint32_t {
    kImageMagicAt = 0,
    kImageVersionAt = 8,
    kImageHeaderSizeAt = 10,
    kImageSizeAt = 12,
    kImageChecksumAt = 16,
    kImageEntryCountAt = 20,
    kImageDataSizeAt = 24,
    kImageHeaderReservedAt = 28,
    kImageHeaderSize = 32,
};

// Token block.
enum : uint32_t {
    kImageTokenAt = kImageHeaderSize,
    kTokenDescriptorAt = 0,
    kTokenSerialAt = 32,
    kTokenPinAt = 40,
    kTokenMasterKeyAt = 44,
    kTokenSettingsAt = 52,
    kTokenPinFailuresAt = 54,
    kTokenKeyFailuresAt = 55,
    kTokenReservedAt = 56,
    kTokenBlockSize = 64,
};

// Entry records.
enum : uint32_t {
    kImageEntriesAt = kImageTokenAt + kTokenBlockSize,
    kEntryDirIdAt = 0,
    kEntryFileIdAt = 4,
    kEntryWordsAt = 8,
    kEntryTypeAt = 10,
    kEntryAccessAt = 11,
    kEntryReservedAt = 12,
    kEntrySize = 16,
};

constexpr uint32_t kMaxImageSize = kImageEntriesAt + kMaxEntries * kEntrySize + 2 * kMaxMemoryWords;

inline uint32_t image_size(const Token &token)
{
    return kImageEntriesAt + token.entry_count * kEntrySize + token.data_bytes;
}

void write_image(const Token &token, uint8_t *out);
uint32_t check_image(const uint8_t *image, uint32_t size);
// Loads an image that check_image accepted; the session starts empty.
void load_image(Token &token, const uint8_t *image);

} // namespace vtd

#endif
