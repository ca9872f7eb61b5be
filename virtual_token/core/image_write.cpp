// Writing a token's image.
#include <string.h>

#include "crc32.h"
#include "image.h"

namespace vtd {

namespace {

void write_header(const Token &token, uint8_t *h)
{
    memset(h, 0, kImageHeaderSize);
    memcpy(h + kImageMagicAt, kImageMagic, sizeof kImageMagic);
    put_le16(h + kImageVersionAt, kImageVersion);
    put_le16(h + kImageHeaderSizeAt, kImageHeaderSize);
    put_le32(h + kImageSizeAt, image_size(token));
    put_le32(h + kImageEntryCountAt, token.entry_count);
    put_le32(h + kImageDataSizeAt, token.data_bytes);
}

void write_token_block(const Token &token, uint8_t *b)
{
    memset(b, 0, kTokenBlockSize);
    memcpy(b + kTokenDescriptorAt, token.descriptor, kDescriptorSize);
    memcpy(b + kTokenSerialAt, token.serial, kSerialSize);
    put_le32(b + kTokenPinAt, token.pin);
    memcpy(b + kTokenMasterKeyAt, token.master_key, kMasterKeySize);
    memcpy(b + kTokenSettingsAt, token.settings, kSettingsSize);
    b[kTokenPinFailuresAt] = token.pin_failures;
    b[kTokenKeyFailuresAt] = token.key_failures;
}

void write_entry(const Entry &e, uint8_t *r)
{
    memset(r, 0, kEntrySize);
    put_le32(r + kEntryDirIdAt, e.dir_id);
    put_le32(r + kEntryFileIdAt, e.file_id);
    put_le16(r + kEntryWordsAt, e.words);
    r[kEntryTypeAt] = e.type;
    r[kEntryAccessAt] = e.access;
}

} // namespace

void write_image(const Token &token, uint8_t *out)
{
    write_header(token, out);
    write_token_block(token, out + kImageTokenAt);
    uint8_t *at = out + kImageEntriesAt;
    for (uint32_t i = 0; i < token.entry_count; i++, at += kEntrySize)
        write_entry(token.entries[i], at);
    memcpy(at, token.memory, token.data_bytes);
    put_le32(out + kImageChecksumAt, crc32_update(0, out, image_size(token)));
}

} // namespace vtd
