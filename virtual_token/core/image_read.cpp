// Checking and loading token images.  Every length, count and offset is
// checked against the bytes at hand before it is used, and the whole
// image is checked before anything of a token changes.
#include <string.h>

#include "crc32.h"
#include "fs_rules.h"
#include "image.h"

namespace vtd {

namespace {

constexpr uint8_t kAccessUnused = 0xC0;
constexpr uint32_t kMaxNarrowDirId = 0xFFFF;
constexpr uint32_t kMaxNarrowFileId = 0xFF;
constexpr uint32_t kCounterWords = 2;

bool all_zero(const uint8_t *p, uint32_t n)
{
    for (uint32_t i = 0; i < n; i++) {
        if (p[i] != 0)
            return false;
    }
    return true;
}

Entry decode_entry(const uint8_t *r)
{
    return Entry{get_le32(r + kEntryDirIdAt),
                 get_le32(r + kEntryFileIdAt),
                 0,
                 (uint16_t)get_le16(r + kEntryWordsAt),
                 r[kEntryTypeAt],
                 r[kEntryAccessAt]};
}

// The entries of an image, as the rules of fs_rules.h read them.
struct ImageTable {
    const uint8_t *records;
    uint32_t count;
    bool is_wide;
    uint32_t words;
    uint32_t size() const { return count; }
    Entry at(uint32_t i) const { return decode_entry(records + i * kEntrySize); }
    bool wide() const { return is_wide; }
    uint32_t memory_words() const { return words; }
};

// The checksum covers the whole image, its own four bytes taken as zero.
uint32_t image_checksum(const uint8_t *image, uint32_t size)
{
    static constexpr uint8_t kZero[4] = {};
    uint32_t crc = crc32_update(0, image, kImageChecksumAt);
    crc = crc32_update(crc, kZero, sizeof kZero);
    const uint32_t rest = kImageChecksumAt + 4;
    return crc32_update(crc, image + rest, size - rest);
}

uint32_t check_frame(const uint8_t *image, uint32_t size)
{
    const uint32_t magic = size < sizeof kImageMagic ? size : (uint32_t)sizeof kImageMagic;
    if (memcmp(image, kImageMagic, magic) != 0)
        return VTD_IMAGE_BAD_MAGIC;
    if (size < kImageHeaderSize)
        return VTD_IMAGE_TRUNCATED;
    if (get_le16(image + kImageVersionAt) != kImageVersion)
        return VTD_IMAGE_UNKNOWN_VERSION;
    const uint32_t stated = get_le32(image + kImageSizeAt);
    if (stated > size)
        return VTD_IMAGE_TRUNCATED;
    if (stated < size)
        return VTD_IMAGE_BAD_SIZE;
    if (image_checksum(image, size) != get_le32(image + kImageChecksumAt))
        return VTD_IMAGE_BAD_CHECKSUM;
    return VTD_IMAGE_OK;
}

uint32_t check_header(const uint8_t *image, uint32_t size)
{
    const uint32_t count = get_le32(image + kImageEntryCountAt);
    const uint32_t data = get_le32(image + kImageDataSizeAt);
    if (get_le16(image + kImageHeaderSizeAt) != kImageHeaderSize ||
        get_le32(image + kImageHeaderReservedAt) != 0)
        return VTD_IMAGE_BAD_HEADER;
    if (count > kMaxEntries || data > 2 * kMaxMemoryWords || data % 2 != 0)
        return VTD_IMAGE_BAD_HEADER;
    if (kImageEntriesAt + count * kEntrySize + data != size)
        return VTD_IMAGE_BAD_HEADER;
    return VTD_IMAGE_OK;
}

uint32_t check_descriptor(const uint8_t *d)
{
    const uint32_t length = d[kDescriptorLength];
    const uint32_t words = get_le16(d + kDescriptorMemoryWords);
    if (length < kDescriptorMinLength || length > kDescriptorSize)
        return VTD_IMAGE_BAD_DESCRIPTOR;
    if (d[kDescriptorModel] < kFirstModel || d[kDescriptorModel] > kLastModel)
        return VTD_IMAGE_BAD_DESCRIPTOR;
    if (words < kMinMemoryWords || !all_zero(d + length, kDescriptorSize - length))
        return VTD_IMAGE_BAD_DESCRIPTOR;
    return VTD_IMAGE_OK;
}

uint32_t check_token_block(const uint8_t *b)
{
    const uint32_t status = check_descriptor(b + kTokenDescriptorAt);
    if (status != VTD_IMAGE_OK)
        return status;
    if ((b[kTokenSettingsAt] & 0xC0) != 0 ||
        !all_zero(b + kTokenReservedAt, kTokenBlockSize - kTokenReservedAt))
        return VTD_IMAGE_BAD_CREDENTIALS;
    return VTD_IMAGE_OK;
}

bool entry_in_range(const ImageTable &table, const Entry &e)
{
    const bool wide = table.wide();
    if (e.words == 0 || e.words > max_entry_words(wide))
        return false;
    if (!wide && e.dir_id > kMaxNarrowDirId)
        return false;
    if (e.type == kTypeDirectory)
        return e.dir_id != 0 && e.file_id == 0 && e.access == 0;
    if (e.type < kTypeData || e.type > kTypeKey || (e.access & kAccessUnused) != 0)
        return false;
    if (e.file_id == 0 || (!wide && e.file_id > kMaxNarrowFileId))
        return false;
    return e.type != kTypeCounter || e.words >= kCounterWords;
}

uint32_t check_entry(const ImageTable &table, uint32_t i, uint32_t &file_bytes)
{
    const uint8_t *record = table.records + i * kEntrySize;
    const Entry e = table.at(i);
    if (!all_zero(record + kEntryReservedAt, kEntrySize - kEntryReservedAt) ||
        !entry_in_range(table, e))
        return VTD_IMAGE_BAD_ENTRY;
    const int first =
        is_file(e) ? table_find_file(table, e.dir_id, e.file_id) : table_find_dir(table, e.dir_id);
    if (first != (int)i)
        return VTD_IMAGE_DUPLICATE_ENTRY;
    if (is_file(e) && table_find_dir(table, e.dir_id) == kMissing)
        return VTD_IMAGE_MISSING_DIRECTORY;
    // A file's directory, or directory 0 for a directory; every directory
    // holding a file is judged by that file's check.
    if (!table_capacity_kept(table, is_file(e) ? e.dir_id : 0))
        return VTD_IMAGE_OVER_CAPACITY;
    if (is_file(e))
        file_bytes += 2u * e.words;
    return VTD_IMAGE_OK;
}

uint32_t check_entries(const ImageTable &table, uint32_t data)
{
    uint32_t file_bytes = 0;
    for (uint32_t i = 0; i < table.size(); i++) {
        const uint32_t status = check_entry(table, i, file_bytes);
        if (status != VTD_IMAGE_OK)
            return status;
    }
    return file_bytes == data ? VTD_IMAGE_OK : VTD_IMAGE_BAD_HEADER;
}

ImageTable image_table(const uint8_t *image)
{
    const uint8_t *d = image + kImageTokenAt + kTokenDescriptorAt;
    return ImageTable{image + kImageEntriesAt, get_le32(image + kImageEntryCountAt),
                      d[kDescriptorModel] >= kFirstWideModel, get_le16(d + kDescriptorMemoryWords)};
}

} // namespace

uint32_t check_image(const uint8_t *image, uint32_t size)
{
    if (image == nullptr)
        return VTD_IMAGE_TRUNCATED;
    uint32_t status = check_frame(image, size);
    if (status == VTD_IMAGE_OK)
        status = check_header(image, size);
    if (status == VTD_IMAGE_OK)
        status = check_token_block(image + kImageTokenAt);
    if (status == VTD_IMAGE_OK)
        status = check_entries(image_table(image), get_le32(image + kImageDataSizeAt));
    return status;
}

void load_image(Token &token, const uint8_t *image)
{
    memset(&token, 0, sizeof token);
    const uint8_t *b = image + kImageTokenAt;
    memcpy(token.descriptor, b + kTokenDescriptorAt, kDescriptorSize);
    memcpy(token.serial, b + kTokenSerialAt, kSerialSize);
    token.pin = get_le32(b + kTokenPinAt);
    memcpy(token.master_key, b + kTokenMasterKeyAt, kMasterKeySize);
    memcpy(token.settings, b + kTokenSettingsAt, kSettingsSize);
    token.pin_failures = b[kTokenPinFailuresAt];
    token.key_failures = b[kTokenKeyFailuresAt];

    const ImageTable table = image_table(image);
    for (uint32_t i = 0; i < table.size(); i++) {
        Entry e = table.at(i);
        if (is_file(e)) {
            e.data = token.data_bytes;
            token.data_bytes += 2u * e.words;
        }
        token.entries[token.entry_count++] = e;
    }
    memcpy(token.memory, table.records + table.count * kEntrySize, token.data_bytes);
    token.selected = kNoSelection;
}

} // namespace vtd
