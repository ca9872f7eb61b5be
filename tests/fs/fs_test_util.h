// Shared pieces of the file-system tests: hex strings, the two identifier
// forms, the selection mirror as one value, and a token that plays a file.
#ifndef VUXA_TEST_FS_TEST_UTIL_H
#define VUXA_TEST_FS_TEST_UTIL_H

#include <cstdint>
#include <cstdio>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/hex.h"
#include "support/open_token.h"
#include "pyxo.h"
#include "support/scripted_driver.h"

namespace fs_test {

// A request as the tables spell it, in the form to_hex prints: "07 00 80".
inline std::string spelled(const char *text)
{
    return vuxa_test::to_hex(vuxa_test::hex(text));
}

inline bool same_record(const PYXO_FILEINFO &a, const PYXO_FILEINFO &b)
{
    return a.file_id == b.file_id && a.dir_id == b.dir_id && a.size == b.size && a.type == b.type &&
           a.access1 == b.access1 && a.access2 == b.access2 && a.access3 == b.access3;
}

inline std::string describe(const PYXO_FILEINFO &info)
{
    char text[128];
    std::snprintf(text, sizeof text, "{file 0x%X, dir 0x%X, size %u, type %u, access %u %u %u}",
                  info.file_id, info.dir_id, info.size, info.type, info.access1, info.access2,
                  info.access3);
    return text;
}

// The identifier width a token was opened with.
enum class Form { wide, narrow };

inline uint8_t model_of(Form form)
{
    return form == Form::wide ? vuxa_test::kWideModel : vuxa_test::kNarrowModel;
}

inline const char *name_of(Form form)
{
    return form == Form::wide ? "wide" : "narrow";
}

// The five current-file fields of a context.
struct Mirror {
    uint32_t dir_id;
    uint32_t file_id;
    uint32_t size;
    uint8_t type;
    uint8_t attr;

    bool operator==(const Mirror &) const = default;
};

inline std::ostream &operator<<(std::ostream &out, const Mirror &m)
{
    return out << "{dir " << m.dir_id << ", file " << m.file_id << ", size " << m.size << ", type "
               << unsigned(m.type) << ", attr " << unsigned(m.attr) << "}";
}

inline Mirror mirror_of(const PYXO_CONTEXT &context)
{
    return {context.current_dir_id, context.current_file_id, context.current_file_size,
            context.current_file_type, context.current_file_attr};
}

inline void set_mirror(PYXO_CONTEXT &context, const Mirror &m)
{
    context.current_dir_id = m.dir_id;
    context.current_file_id = m.file_id;
    context.current_file_size = m.size;
    context.current_file_type = m.type;
    context.current_file_attr = m.attr;
}

// A mirror that shows a selected file, so that every field can be seen to
// change or to stay.
constexpr Mirror kSelected = {0x11223344, 0x55667788, 0x200, 2, 0x15};
// kSelected after an operation that marks no file selected.
constexpr Mirror kSelectedThenDropped = {0x11223344, 0x55667788, 0x200, 0xFF, 0};

// What the driver received for one token command.
struct Sent {
    uint16_t command;
    std::vector<uint8_t> request;
    uint32_t out_size;
};

// An empty request and one of four zero bytes fill the block alike; both
// show as empty here.
inline Sent sent(const vuxa_test::CommandBlock &block)
{
    std::vector<uint8_t> request;
    if (block.param1 || block.param2 || block.payload_length)
        request = block.request();
    return {block.command, request, block.out_size};
}

inline std::vector<Sent> sent_commands(const vuxa_test::ScriptedDriver &driver)
{
    std::vector<Sent> all;
    for (const auto &block : driver.commands())
        all.push_back(sent(block));
    return all;
}

// A token that plays the selected file: reads answer from image, writes
// land in it, and the command numbered refuse_at (0 the first read or
// write) is refused with the status byte refusal.
struct FilePlayer {
    std::vector<uint8_t> image = std::vector<uint8_t>(0x20000 + 256);
    std::optional<int> refuse_at;
    uint8_t refusal = 0x2B; // token status 11
    int transfers = 0;

    void attach(vuxa_test::ScriptedDriver &driver)
    {
        for (size_t i = 0; i < image.size(); ++i)
            image[i] = (uint8_t)(i * 7 + 3);
        driver.on_command([this](const vuxa_test::CommandBlock &block) { return answer(block); });
    }

    std::optional<vuxa_test::DriverReply> answer(const vuxa_test::CommandBlock &block)
    {
        using vuxa_test::DriverReply;
        if (block.command != 0x107 && block.command != 0x108)
            return std::nullopt;
        const int index = transfers++;
        if (refuse_at && index == *refuse_at)
            return DriverReply::status(refusal);
        const size_t at = block.param1 * 2u;
        const size_t count = block.param2 * 2u;
        if (block.command == 0x107)
            return DriverReply::bytes({image.begin() + at, image.begin() + at + count});
        std::copy(block.payload.begin(), block.payload.end(), image.begin() + at);
        return DriverReply::status(0);
    }
};

} // namespace fs_test

#endif
