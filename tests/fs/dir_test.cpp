// Pyxo_Dir: the request in both forms, the decoding of every type code in
// both answer forms, and the mirror and the record on failure.
#include <cstring>

#include "fs_test_util.h"

namespace {

using fs_test::Form;
using vuxa_test::hex;

constexpr uint16_t kDir = 0x104;

struct DirCase {
    const char *what;
    Form form;
    const char *answer;
    PYXO_FILEINFO expected; // dir_id is the argument, checked apart
};

// Wide answer: bytes 0-5 unused, 6 access byte or directory low byte, 7 type
// and directory high part, 8-9 words, 10-13 file id.  Narrow answer: bytes
// 0-3 unused, 4-5 descriptor word, 6 file id, 7 access byte.
const DirCase kDirCases[] = {
    // Directories: the size is worked out from the low byte and the high part.
    {"wide dir 16 words",
     Form::wide,
     "00 00 00 00 00 00 10 00 05 00 44 33 22 11",
     {0, 0, 26, 0, 7, 7, 7}},
    {"wide dir 2 words clamps at 0",
     Form::wide,
     "00 00 00 00 00 00 02 00 00 00 00 00 00 00",
     {0, 0, 0, 0, 7, 7, 7}},
    {"wide dir 3 words is 0",
     Form::wide,
     "00 00 00 00 00 00 03 00 00 00 00 00 00 00",
     {0, 0, 0, 0, 7, 7, 7}},
    {"wide dir 4 words",
     Form::wide,
     "00 00 00 00 00 00 04 00 00 00 00 00 00 00",
     {0, 0, 2, 0, 7, 7, 7}},
    {"wide dir escape 256 words",
     Form::wide,
     "11 22 33 44 55 66 00 1F 01 00 00 00 00 00",
     {0, 0, 506, 0, 7, 7, 7}},
    {"wide dir escape 0x1234 words",
     Form::wide,
     "00 00 00 00 00 00 34 1F 12 99 00 00 00 00",
     {0, 0, 9314, 0, 7, 7, 7}},
    {"wide dir high part 0x1E ignores byte 8",
     Form::wide,
     "00 00 00 00 00 00 34 1E 99 00 00 00 00 00",
     {0, 0, 15458, 0, 7, 7, 7}},
    {"wide dir escape high byte 0xFF",
     Form::wide,
     "00 00 00 00 00 00 FF 1F FF 00 00 00 00 00",
     {0, 0, 131064, 0, 7, 7, 7}},
    // Files.
    {"wide type 1",
     Form::wide,
     "00 00 00 00 00 00 2B 3F 10 00 78 56 34 12",
     {0x12345678, 0, 32, 1, 7, 7, 7}},
    {"wide type 2",
     Form::wide,
     "00 00 00 00 00 00 2B 40 40 00 0D 0C 0B 0A",
     {0x0A0B0C0D, 0, 128, 2, 5, 3, 0}},
    {"wide type 2 ignores access bits 7-6",
     Form::wide,
     "00 00 00 00 00 00 EB 5F 40 00 0D 0C 0B 0A",
     {0x0A0B0C0D, 0, 128, 2, 5, 3, 0}},
    {"wide type 3",
     Form::wide,
     "00 00 00 00 00 00 3A 60 34 12 01 00 00 00",
     {1, 0, 0x2468, 3, 7, 2, 0}},
    {"wide type 4",
     Form::wide,
     "00 00 00 00 00 00 2B 80 FF FF 05 00 00 00",
     {5, 0, 0x1FFFE, 4, 7, 3, 5}},
    {"wide type 5",
     Form::wide,
     "00 00 00 00 00 00 2B A0 08 00 05 00 00 00",
     {0, 0, 16, 0xFF, 7, 7, 7}},
    {"wide type 6",
     Form::wide,
     "00 00 00 00 00 00 2B DF 08 01 05 00 00 00",
     {0, 0, 0x210, 0xFF, 7, 7, 7}},
    {"wide type 7",
     Form::wide,
     "00 00 00 00 00 00 2B E0 00 00 05 00 00 00",
     {0, 0, 0, 0xFF, 7, 7, 7}},

    {"narrow dir 5 words", Form::narrow, "00 00 00 00 05 00 99 88", {0, 0, 8, 0, 7, 7, 7}},
    {"narrow dir 1 word is 0", Form::narrow, "00 00 00 00 01 00 00 00", {0, 0, 0, 0, 7, 7, 7}},
    {"narrow dir 0 words clamps at 0",
     Form::narrow,
     "00 00 00 00 00 00 00 00",
     {0, 0, 0, 0, 7, 7, 7}},
    {"narrow dir escape 256 words",
     Form::narrow,
     "00 00 00 00 00 1F 01 00",
     {0, 0, 510, 0, 7, 7, 7}},
    {"narrow dir high part 0x1E",
     Form::narrow,
     "00 00 00 00 34 1E 99 00",
     {0, 0, 15462, 0, 7, 7, 7}},
    {"narrow type 1", Form::narrow, "00 00 00 00 10 20 05 01", {0x105, 0, 32, 1, 7, 7, 7}},
    {"narrow type 2", Form::narrow, "00 00 00 00 20 40 05 2B", {5, 0, 64, 2, 5, 3, 0}},
    {"narrow type 2 size is 13 bits",
     Form::narrow,
     "00 00 00 00 FF 5F FF EB",
     {0xFF, 0, 0x3FFE, 2, 5, 3, 0}},
    {"narrow type 3", Form::narrow, "00 00 00 00 20 60 05 2B", {5, 0, 64, 3, 5, 3, 0}},
    {"narrow type 4", Form::narrow, "00 00 00 00 20 80 05 2B", {5, 0, 64, 4, 7, 3, 5}},
    {"narrow type 5", Form::narrow, "00 00 00 00 04 A0 05 2B", {0, 0, 8, 0xFF, 7, 7, 7}},
    {"narrow type 6", Form::narrow, "00 00 00 00 34 D2 05 2B", {0, 0, 0x2468, 0xFF, 7, 7, 7}},
    {"narrow type 7", Form::narrow, "00 00 00 00 00 E0 05 2B", {0, 0, 0, 0xFF, 7, 7, 7}},
};

TEST(Dir, DecodesEveryTypeInBothForms)
{
    vuxa_test::OpenToken wide(fs_test::model_of(Form::wide));
    vuxa_test::OpenToken narrow(fs_test::model_of(Form::narrow));
    for (const DirCase &c : kDirCases) {
        SCOPED_TRACE(c.what);
        vuxa_test::OpenToken &token = c.form == Form::wide ? wide : narrow;
        token.driver.clear_requests();
        token.driver.script_command(vuxa_test::DriverReply::bytes(hex(c.answer)));
        fs_test::set_mirror(token.context, fs_test::kSelected);
        PYXO_FILEINFO info;
        std::memset(&info, 0xA5, sizeof info);

        ASSERT_EQ(Pyxo_Dir(&token.context, 3, 1, &info), PYXO_OK);

        PYXO_FILEINFO expected = c.expected;
        expected.dir_id = 3;
        EXPECT_TRUE(fs_test::same_record(info, expected))
            << fs_test::describe(info) << " != " << fs_test::describe(expected);
        EXPECT_EQ(fs_test::mirror_of(token.context), fs_test::kSelectedThenDropped);
    }
}

struct DirRequestCase {
    Form form;
    uint32_t dir_id;
    uint32_t index;
    const char *request;
    uint32_t answer_size;
};

const DirRequestCase kDirRequests[] = {
    {Form::wide, 0x01020304, 0x00050006, "04 03 02 01 06 00", 14},
    {Form::wide, 0, 0xFFFF, "00 00 00 00 FF FF", 14},
    {Form::narrow, 0x00012345, 0x00010002, "45 23 02 00", 8},
    {Form::narrow, 0xFFFF, 7, "FF FF 07 00", 8},
};

TEST(Dir, RequestCarriesTheFormsFieldsAndTheRecordTheWholeDirId)
{
    for (const DirRequestCase &c : kDirRequests) {
        SCOPED_TRACE(fs_test::name_of(c.form) + std::string(" ") + c.request);
        vuxa_test::OpenToken token(fs_test::model_of(c.form));
        const char *answer = c.form == Form::wide ? "00 00 00 00 00 00 00 00 00 00 00 00 00 00"
                                                  : "00 00 00 00 00 00 00 00";
        token.driver.script_command(vuxa_test::DriverReply::bytes(hex(answer)));
        PYXO_FILEINFO info{};

        ASSERT_EQ(Pyxo_Dir(&token.context, c.dir_id, c.index, &info), PYXO_OK);

        const auto sent = fs_test::sent_commands(token.driver);
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].command, kDir);
        EXPECT_EQ(vuxa_test::to_hex(sent[0].request), fs_test::spelled(c.request));
        EXPECT_EQ(sent[0].out_size, c.answer_size);
        EXPECT_EQ(info.dir_id, c.dir_id);
    }
}

struct DirFailureCase {
    const char *what;
    Form form;
    vuxa_test::DriverReply reply;
    uint32_t status;
};

TEST(Dir, FailureLeavesTheRecordAndDropsTheSelection)
{
    using vuxa_test::DriverReply;
    const DirFailureCase cases[] = {
        {"wide refusal", Form::wide, DriverReply::status(0x2B), PYXO_ERR_INVALID_PARAMETER},
        {"narrow refusal", Form::narrow, DriverReply::status(0x0A), PYXO_ERR_NO_SPACE},
        {"wide answer of the narrow length", Form::wide,
         DriverReply::bytes(hex("00 00 00 00 "
                                "00 00 00 00")),
         PYXO_ERR_RESPONSE_LENGTH},
        {"narrow answer one byte short", Form::narrow, DriverReply::bytes(std::vector<uint8_t>(7)),
         PYXO_ERR_RESPONSE_LENGTH},
        {"empty answer", Form::wide, DriverReply::empty(), PYXO_ERR_RESPONSE_LENGTH},
        {"status byte meaning success", Form::wide, DriverReply::status(0),
         PYXO_ERR_RESPONSE_LENGTH},
        {"driver failure", Form::narrow, DriverReply::fail(31), PYXO_ERR_IO},
    };
    for (const DirFailureCase &c : cases) {
        SCOPED_TRACE(c.what);
        vuxa_test::OpenToken token(fs_test::model_of(c.form));
        token.driver.script_command(c.reply);
        fs_test::set_mirror(token.context, fs_test::kSelected);
        PYXO_FILEINFO info;
        std::memset(&info, 0xA5, sizeof info);
        PYXO_FILEINFO before = info;

        EXPECT_EQ(Pyxo_Dir(&token.context, 1, 0, &info), c.status);

        EXPECT_EQ(std::memcmp(&info, &before, sizeof info), 0);
        EXPECT_EQ(fs_test::mirror_of(token.context), fs_test::kSelectedThenDropped);
    }
}

} // namespace
