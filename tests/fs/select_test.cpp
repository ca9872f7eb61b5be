// Pyxo_SelectFile and Pyxo_CloseFile: requests in both forms, the decoding
// of the selection answer, and the mirror on success and failure.
#include "fs_test_util.h"

namespace {

using fs_test::Form;
using fs_test::Mirror;
using vuxa_test::DriverReply;
using vuxa_test::hex;

constexpr uint16_t kSelect = 0x105;
constexpr uint16_t kClose = 0x106;

struct SelectCase {
    const char *what;
    Form form;
    uint32_t dir_id;
    uint32_t file_id;
    const char *request; // nullptr: nothing is sent
    const char *answer;
    uint32_t status;
    Mirror mirror;
};

const SelectCase kSelectCases[] = {
    {"wide",
     Form::wide,
     0x01020304,
     0x0A0B0C0D,
     "04 03 02 01 0D 0C 0B 0A",
     "34 01 C5 00",
     0,
     {0x01020304, 0x0A0B0C0D, 0x268, 6, 5}},
    {"wide size uses all 16 bits",
     Form::wide,
     0x10000,
     0x100,
     "00 00 01 00 00 01 00 00",
     "FF FF 1F 77",
     0,
     {0x10000, 0x100, 0x1FFFE, 0, 0x1F}},
    {"wide type 7 stays 7",
     Form::wide,
     1,
     2,
     "01 00 00 00 02 00 00 00",
     "00 00 E0 00",
     0,
     {1, 2, 0, 7, 0}},
    {"narrow",
     Form::narrow,
     0x1234,
     0x56,
     "34 12 56 00",
     "10 00 43 00",
     0,
     {0x1234, 0x56, 0x20, 2, 3}},
    {"narrow largest identifiers",
     Form::narrow,
     0xFFFF,
     0xFF,
     "FF FF FF 00",
     "02 00 9F 00",
     0,
     {0xFFFF, 0xFF, 4, 4, 0x1F}},
    {"narrow dir_id 0x10000",
     Form::narrow,
     0x10000,
     1,
     nullptr,
     nullptr,
     PYXO_ERR_INVALID_PARAMETER,
     {0x10000, 1, 0, 0xFF, 0}},
    {"narrow file_id 0x100",
     Form::narrow,
     1,
     0x100,
     nullptr,
     nullptr,
     PYXO_ERR_INVALID_PARAMETER,
     {1, 0x100, 0, 0xFF, 0}},
};

TEST(SelectFile, RequestAnswerAndMirror)
{
    for (const SelectCase &c : kSelectCases) {
        SCOPED_TRACE(c.what);
        vuxa_test::OpenToken token(fs_test::model_of(c.form));
        if (c.answer)
            token.driver.script_command(DriverReply::bytes(hex(c.answer)));
        fs_test::set_mirror(token.context, fs_test::kSelected);

        EXPECT_EQ(Pyxo_SelectFile(&token.context, c.dir_id, c.file_id), c.status);

        const auto sent = fs_test::sent_commands(token.driver);
        if (c.request) {
            ASSERT_EQ(sent.size(), 1u);
            EXPECT_EQ(sent[0].command, kSelect);
            EXPECT_EQ(vuxa_test::to_hex(sent[0].request), fs_test::spelled(c.request));
            EXPECT_EQ(sent[0].out_size, 4u);
        } else {
            EXPECT_TRUE(sent.empty());
        }
        EXPECT_EQ(fs_test::mirror_of(token.context), c.mirror);
    }
}

TEST(SelectFile, FailedSelectionShowsTheRequestedFileAndNoSelection)
{
    const struct {
        const char *what;
        DriverReply reply;
        uint32_t status;
    } cases[] = {
        {"refusal", DriverReply::status(0x21), PYXO_ERR_ACCESS_DENIED},
        {"short answer", DriverReply::bytes(hex("34 01 C5")), PYXO_ERR_RESPONSE_LENGTH},
        {"empty answer", DriverReply::empty(), PYXO_ERR_RESPONSE_LENGTH},
        {"driver failure", DriverReply::fail(5), PYXO_ERR_ACCESS_DENIED},
    };
    for (Form form : {Form::wide, Form::narrow}) {
        for (const auto &c : cases) {
            SCOPED_TRACE(std::string(fs_test::name_of(form)) + " " + c.what);
            vuxa_test::OpenToken token(fs_test::model_of(form));
            token.driver.script_command(c.reply);
            fs_test::set_mirror(token.context, fs_test::kSelected);

            EXPECT_EQ(Pyxo_SelectFile(&token.context, 7, 9), c.status);

            EXPECT_EQ(fs_test::mirror_of(token.context), (Mirror{7, 9, 0, 0xFF, 0}));
        }
    }
}

TEST(SelectFile, UnopenedContextGetsTheMirrorSetAndNoDevice)
{
    PYXO_CONTEXT context = vuxa_test::unopened_context();
    fs_test::set_mirror(context, fs_test::kSelected);
    EXPECT_EQ(Pyxo_SelectFile(&context, 0x10000, 1), PYXO_ERR_INVALID_PARAMETER);
    EXPECT_EQ(fs_test::mirror_of(context), (Mirror{0x10000, 1, 0, 0xFF, 0}));
    EXPECT_EQ(Pyxo_SelectFile(&context, 2, 3), PYXO_ERR_NO_DEVICE);
    EXPECT_EQ(fs_test::mirror_of(context), (Mirror{2, 3, 0, 0xFF, 0}));
}

TEST(CloseFile, ClearsTheMirrorWhateverTheOutcome)
{
    const struct {
        const char *what;
        std::optional<DriverReply> reply;
        uint32_t status;
    } cases[] = {
        {"accepted", std::nullopt, PYXO_OK},
        {"refused", DriverReply::status(0x03), PYXO_ERR_3},
        {"two bytes", DriverReply::bytes(hex("00 00")), PYXO_ERR_RESPONSE_LENGTH},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        vuxa_test::OpenToken token;
        if (c.reply)
            token.driver.script_command(*c.reply);
        fs_test::set_mirror(token.context, fs_test::kSelected);

        EXPECT_EQ(Pyxo_CloseFile(&token.context), c.status);

        const auto sent = fs_test::sent_commands(token.driver);
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].command, kClose);
        EXPECT_TRUE(sent[0].request.empty());
        EXPECT_EQ(sent[0].out_size, 2u);
        EXPECT_EQ(fs_test::mirror_of(token.context), (Mirror{0, 0, 0, 0xFF, 0}));
    }
}

TEST(CloseFile, UnopenedContextIsClearedToo)
{
    PYXO_CONTEXT context = vuxa_test::unopened_context();
    fs_test::set_mirror(context, fs_test::kSelected);
    EXPECT_EQ(Pyxo_CloseFile(&context), PYXO_ERR_NO_DEVICE);
    EXPECT_EQ(fs_test::mirror_of(context), (Mirror{0, 0, 0, 0xFF, 0}));
}

} // namespace
