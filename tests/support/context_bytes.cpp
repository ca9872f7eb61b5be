#include "context_bytes.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <sstream>

namespace vuxa_test {

namespace {

struct Field {
    const char *name;
    size_t offset;
    size_t size;
};

#define VUXA_FIELD(f) {#f, offsetof(PYXO_CONTEXT, f), sizeof(PYXO_CONTEXT::f)}
const Field kFields[] = {
    VUXA_FIELD(signature),        VUXA_FIELD(device_handle),     VUXA_FIELD(device_index),
    VUXA_FIELD(flags),            VUXA_FIELD(context_version),   VUXA_FIELD(driver_version),
    VUXA_FIELD(descriptor_byte2), VUXA_FIELD(descriptor_byte3),  VUXA_FIELD(model),
    VUXA_FIELD(id_size),          VUXA_FIELD(capability_param),  VUXA_FIELD(memory_size),
    VUXA_FIELD(capabilities),     VUXA_FIELD(serial_number),     VUXA_FIELD(current_dir_id),
    VUXA_FIELD(current_file_id),  VUXA_FIELD(current_file_size), VUXA_FIELD(current_file_type),
    VUXA_FIELD(current_file_attr), VUXA_FIELD(reserved),
};
#undef VUXA_FIELD

std::string field_at(size_t offset)
{
    for (const Field &field : kFields) {
        if (offset >= field.offset && offset < field.offset + field.size)
            return std::string(field.name) + "+" + std::to_string(offset - field.offset);
    }
    return "padding";
}

} // namespace

PYXO_CONTEXT initialised_context()
{
    PYXO_CONTEXT context;
    std::memset(&context, 0, sizeof context);
    context.signature = 0x4D56515A;
    context.context_version = 2;
    context.device_handle = reinterpret_cast<void *>(intptr_t(-1));
    context.current_file_type = 0xFF;
    return context;
}

::testing::AssertionResult same_record(const PYXO_CONTEXT &expected, const PYXO_CONTEXT &actual)
{
    const auto *e = reinterpret_cast<const uint8_t *>(&expected);
    const auto *a = reinterpret_cast<const uint8_t *>(&actual);
    std::ostringstream differences;
    int count = 0;
    for (size_t i = 0; i < sizeof(PYXO_CONTEXT); ++i) {
        if (e[i] == a[i])
            continue;
        char line[96];
        std::snprintf(line, sizeof line, "\n  byte %3zu (%s): expected %02x, actual %02x", i,
                      field_at(i).c_str(), e[i], a[i]);
        differences << line;
        ++count;
    }
    if (count == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << count << " bytes differ:" << differences.str();
}

} // namespace vuxa_test
