#include "record.h"

Mirror Mirror::of(const PYXO_CONTEXT &context)
{
    return Mirror{context.current_dir_id, context.current_file_id, context.current_file_size,
                  context.current_file_type, context.current_file_attr};
}

bool Mirror::operator==(const Mirror &other) const
{
    return dir_id == other.dir_id && file_id == other.file_id && size == other.size &&
           type == other.type && attr == other.attr;
}

Mirror Mirror::deselected() const
{
    Mirror m = *this;
    m.type = kNoFileType;
    m.attr = 0;
    return m;
}

RecordImage RecordImage::of(const PYXO_CONTEXT &context)
{
    RecordImage image;
    memcpy(image.bytes, &context, sizeof context);
    return image;
}

bool RecordImage::same_except(const PYXO_CONTEXT &context, const size_t (*fields)[2]) const
{
    uint8_t now[sizeof(PYXO_CONTEXT)];
    memcpy(now, &context, sizeof now);
    for (size_t i = 0; fields != nullptr && fields[i][1] != 0; ++i)
        memcpy(now + fields[i][0], bytes + fields[i][0], fields[i][1]);
    return memcmp(now, bytes, sizeof now) == 0;
}

bool RecordImage::same(const PYXO_CONTEXT &context) const
{
    return same_except(context, nullptr);
}

const size_t kMirrorFields[][2] = {
    RECORD_FIELD(current_dir_id),    RECORD_FIELD(current_file_id),
    RECORD_FIELD(current_file_size), RECORD_FIELD(current_file_type),
    RECORD_FIELD(current_file_attr), {0, 0},
};

bool reserved_all_zero(const PYXO_CONTEXT &context)
{
    for (uint8_t byte : context.reserved) {
        if (byte != 0)
            return false;
    }
    return true;
}

bool known_status(uint32_t status)
{
    return status <= PYXO_ERR_DEVICE_21 || status == PYXO_ERR_UNKNOWN;
}
