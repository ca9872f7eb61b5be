// Decoding of directory entries.  Both answer forms carry the same pieces
// at different places; each form's reader gathers them, and one routine
// turns them into the record by type.
#include "fs/dir_entry.h"

#include "fs/access_byte.h"
#include "fs/entry_format.h"
#include "util/bytes.h"

namespace {

// The pieces of one entry, before the type decides which of them count.
struct EntryFields {
    uint8_t type;          // 0 to 7
    uint32_t words;        // the size field, in words
    uint8_t dir_low;       // a directory's word count: low byte,
    uint8_t dir_high;      //   five-bit high part,
    uint8_t dir_high_byte; //   whole high byte when the high part is escaped
    uint8_t access_byte;
    uint32_t file_id;      // types 2 to 4
    uint32_t plain_id;     // type 1
    uint32_t dir_overhead; // bytes taken off a directory's size in this form
};

// Wide answer: 6 access byte or directory low byte, 7 type byte, 8-9 size
// in words (8 the escaped high byte for a directory), 10-13 file id.
enum : uint32_t { kWideAccess = 6, kWideType = 7, kWideWords = 8, kWideFileId = 10 };
// Narrow answer: 4-5 descriptor word, 6 file id (or the low byte of a plain
// id, or the escaped high byte), 7 access byte (or the high byte of a plain
// id).
enum : uint32_t { kNarrowDescriptor = 4, kNarrowTypeByte = 5, kNarrowId = 6, kNarrowAccess = 7 };

constexpr uint32_t kWideDirOverhead = 6;
constexpr uint32_t kNarrowDirOverhead = 2;

uint32_t directory_size(const EntryFields &fields)
{
    uint32_t high = fields.dir_high;
    if (high == PYXO_DIR_HIGH_ESCAPE)
        high = fields.dir_high_byte;
    const uint32_t bytes = (fields.dir_low + 256 * high) * PYXO_WORD_SIZE;
    return bytes > fields.dir_overhead ? bytes - fields.dir_overhead : 0;
}

void set_no_conditions(PYXO_FILEINFO *info)
{
    info->access1 = PYXO_ACCESS_NONE;
    info->access2 = PYXO_ACCESS_NONE;
    info->access3 = PYXO_ACCESS_NONE;
}

void fill_record(const EntryFields &fields, PYXO_FILEINFO *info)
{
    info->type = fields.type;
    info->size = fields.words * PYXO_WORD_SIZE;
    switch (fields.type) {
    case PYXO_TYPE_DIRECTORY:
        set_no_conditions(info);
        info->file_id = 0;
        info->size = directory_size(fields);
        return;
    case PYXO_TYPE_PLAIN:
        set_no_conditions(info);
        info->file_id = fields.plain_id;
        return;
    case PYXO_TYPE_FILE_2:
    case PYXO_TYPE_FILE_3:
    case PYXO_TYPE_FILE_4:
        pyxo_unpack_access(fields.access_byte, info);
        info->file_id = fields.file_id;
        return;
    default:
        info->type = PYXO_TYPE_UNKNOWN;
        set_no_conditions(info);
        info->file_id = 0;
        return;
    }
}

} // namespace

void pyxo_decode_wide_entry(const uint8_t answer[PYXO_DIR_WIDE_ANSWER_SIZE], PYXO_FILEINFO *info)
{
    EntryFields fields;
    fields.type = (uint8_t)(answer[kWideType] >> PYXO_TYPE_BYTE_SHIFT);
    fields.words = get_le16(answer + kWideWords);
    fields.dir_low = answer[kWideAccess];
    fields.dir_high = answer[kWideType] & PYXO_TYPE_BYTE_LOW_MASK;
    fields.dir_high_byte = answer[kWideWords];
    fields.access_byte = answer[kWideAccess];
    fields.file_id = get_le32(answer + kWideFileId);
    fields.plain_id = fields.file_id;
    fields.dir_overhead = kWideDirOverhead;
    fill_record(fields, info);
}

void pyxo_decode_narrow_entry(const uint8_t answer[PYXO_DIR_NARROW_ANSWER_SIZE],
                              PYXO_FILEINFO *info)
{
    const uint32_t descriptor = get_le16(answer + kNarrowDescriptor);
    EntryFields fields;
    fields.type = (uint8_t)(descriptor >> PYXO_DESCRIPTOR_TYPE_SHIFT);
    fields.words = descriptor & PYXO_DESCRIPTOR_WORDS_MASK;
    fields.dir_low = answer[kNarrowDescriptor];
    fields.dir_high = answer[kNarrowTypeByte] & PYXO_TYPE_BYTE_LOW_MASK;
    fields.dir_high_byte = answer[kNarrowId];
    fields.access_byte = answer[kNarrowAccess];
    fields.file_id = answer[kNarrowId];
    fields.plain_id = get_le16(answer + kNarrowId);
    fields.dir_overhead = kNarrowDirOverhead;
    fill_record(fields, info);
}
