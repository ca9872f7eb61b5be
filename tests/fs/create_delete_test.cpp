// Pyxo_CreateDir, Pyxo_CreateFile, Pyxo_DeleteDir, Pyxo_DeleteFile and
// Pyxo_DeleteAllFiles: encodings in both forms, argument checks in their
// order before anything is sent, and the mirror after each.
#include "fs_test_util.h"

namespace {

using fs_test::Form;
using fs_test::Mirror;
using vuxa_test::DriverReply;
using vuxa_test::hex;

constexpr uint16_t kSettings = 0x101;
constexpr uint16_t kCreateDir = 0x10A;
constexpr uint16_t kCreateFile = 0x10B;
constexpr uint16_t kDeleteDir = 0x10C;
constexpr uint16_t kDeleteFile = 0x10D;
constexpr uint16_t kDefaultWords = 0x1000; // memory_size 0x2000
constexpr uint16_t kAllWords = 0xFFFF;     // memory_size 0x1FFFE

// Expects exactly one status-only command with these request bytes.
void expect_sent(const vuxa_test::ScriptedDriver &driver, uint16_t command, const char *request)
{
    const auto sent = fs_test::sent_commands(driver);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].command, command);
    EXPECT_EQ(vuxa_test::to_hex(sent[0].request), fs_test::spelled(request));
    EXPECT_EQ(sent[0].out_size, 2u);
}

struct CreateDirCase {
    const char *what;
    Form form;
    uint16_t memory_words;
    uint32_t dir_id;
    uint32_t size;
    uint32_t status;
    const char *request; // nullptr: nothing is sent
};

const CreateDirCase kCreateDirCases[] = {
    {"wide 256 bytes", Form::wide, kDefaultWords, 7, 256, PYXO_OK,
     "07 00 00 00 00 00 00 00 00 00 80 00"},
    {"narrow 256 bytes", Form::narrow, kDefaultWords, 7, 256, PYXO_OK, "07 00 00 00 80 00"},
    {"narrow dir_id cut to 16 bits", Form::narrow, kDefaultWords, 0x12345, 4, PYXO_OK,
     "45 23 00 00 02 00"},
    {"wide size equal to the memory", Form::wide, kDefaultWords, 0x12345678, 0x2000, PYXO_OK,
     "78 56 34 12 00 00 00 00 00 00 00 10"},
    {"narrow size uses all 16 bits", Form::narrow, kAllWords, 1, 0x1FFFE, PYXO_OK,
     "01 00 00 00 FF FF"},
    {"size 1", Form::wide, kDefaultWords, 7, 1, PYXO_ERR_ODD_LENGTH, nullptr},
    {"odd and too large", Form::narrow, kDefaultWords, 7, 0x2001, PYXO_ERR_ODD_LENGTH, nullptr},
    {"memory + 2", Form::narrow, kDefaultWords, 7, 0x2002, PYXO_ERR_NO_SPACE, nullptr},
    {"size 0", Form::wide, kDefaultWords, 7, 0, PYXO_ERR_INVALID_PARAMETER, nullptr},
};

TEST(CreateDir, EncodingAndChecks)
{
    for (const CreateDirCase &c : kCreateDirCases) {
        SCOPED_TRACE(c.what);
        vuxa_test::OpenToken token(fs_test::model_of(c.form), c.memory_words);
        fs_test::set_mirror(token.context, fs_test::kSelected);

        EXPECT_EQ(Pyxo_CreateDir(&token.context, c.dir_id, c.size), c.status);

        if (c.request)
            expect_sent(token.driver, kCreateDir, c.request);
        else
            EXPECT_TRUE(token.driver.commands().empty());
        EXPECT_EQ(fs_test::mirror_of(token.context), fs_test::kSelected);
    }
}

TEST(CreateDir, RefusalPassesThroughAndKeepsTheMirror)
{
    vuxa_test::OpenToken token;
    token.driver.script_command(DriverReply::status(0x2A));
    fs_test::set_mirror(token.context, fs_test::kSelected);
    EXPECT_EQ(Pyxo_CreateDir(&token.context, 7, 256), PYXO_ERR_NO_SPACE);
    EXPECT_EQ(fs_test::mirror_of(token.context), fs_test::kSelected);
}

struct CreateFileCase {
    const char *what;
    Form form;
    uint16_t memory_words;
    PYXO_FILEINFO info; // file_id, dir_id, size, type, access1, access2, access3
    uint32_t status;
    const char *request; // nullptr: nothing is sent
};

const CreateFileCase kCreateFileCases[] = {
    {"wide type 2",
     Form::wide,
     kDefaultWords,
     {0x11, 0x22, 64, 2, 1, 2, 0},
     PYXO_OK,
     "22 00 00 00 11 00 00 00 0A 40 20 00"},
    {"narrow type 2",
     Form::narrow,
     kDefaultWords,
     {0x11, 0x22, 64, 2, 1, 2, 0},
     PYXO_OK,
     "22 00 11 00 20 40 0A 00"},
    {"wide type 3, access3 not sent",
     Form::wide,
     kDefaultWords,
     {1, 2, 2, 3, 7, 7, 5},
     PYXO_OK,
     "02 00 00 00 01 00 00 00 3F 60 01 00"},
    {"wide type 4",
     Form::wide,
     kDefaultWords,
     {5, 6, 8, 4, 7, 2, 5},
     PYXO_OK,
     "06 00 00 00 05 00 00 00 2A 80 04 00"},
    {"wide type 4, access1 not sent",
     Form::wide,
     kDefaultWords,
     {5, 6, 8, 4, 3, 2, 5},
     PYXO_OK,
     "06 00 00 00 05 00 00 00 2A 80 04 00"},
    {"narrow type 4",
     Form::narrow,
     kDefaultWords,
     {5, 6, 8, 4, 0, 2, 5},
     PYXO_OK,
     "06 00 05 00 04 80 2A 00"},
    {"wide large identifiers",
     Form::wide,
     kDefaultWords,
     {0x100, 0xFFFFFFFF, 2, 2, 0, 0, 0},
     PYXO_OK,
     "FF FF FF FF 00 01 00 00 00 40 01 00"},
    {"narrow largest identifiers",
     Form::narrow,
     kDefaultWords,
     {0xFF, 0xFFFF, 2, 3, 6, 1, 0},
     PYXO_OK,
     "FF FF FF 00 01 60 31 00"},
    {"narrow 0x1FFF words",
     Form::narrow,
     kAllWords,
     {1, 1, 0x3FFE, 4, 7, 7, 7},
     PYXO_OK,
     "01 00 01 00 FF 9F 3F 00"},
    {"wide 0x2000 words",
     Form::wide,
     kAllWords,
     {1, 1, 0x4000, 2, 0, 0, 0},
     PYXO_OK,
     "01 00 00 00 01 00 00 00 00 40 00 20"},
    {"wide whole memory",
     Form::wide,
     kAllWords,
     {1, 1, 0x1FFFE, 2, 0, 0, 0},
     PYXO_OK,
     "01 00 00 00 01 00 00 00 00 40 FF FF"},
    // A size of more than 0x1FFF words would reach the narrow type bits.
    {"narrow 0x2000 words",
     Form::narrow,
     kAllWords,
     {1, 1, 0x4000, 2, 0, 0, 0},
     PYXO_ERR_INVALID_PARAMETER,
     nullptr},
    {"narrow whole memory",
     Form::narrow,
     kAllWords,
     {1, 1, 0x1FFFE, 2, 0, 0, 0},
     PYXO_ERR_INVALID_PARAMETER,
     nullptr},
    // The checks, in their order.
    {"odd size", Form::wide, kDefaultWords, {1, 1, 3, 2, 0, 0, 0}, PYXO_ERR_ODD_LENGTH, nullptr},
    {"odd and too large",
     Form::wide,
     kDefaultWords,
     {1, 1, 0x2001, 2, 0, 0, 0},
     PYXO_ERR_ODD_LENGTH,
     nullptr},
    {"too large",
     Form::narrow,
     kDefaultWords,
     {1, 1, 0x2002, 2, 0, 0, 0},
     PYXO_ERR_NO_SPACE,
     nullptr},
    {"too large with a bad type and condition",
     Form::wide,
     kDefaultWords,
     {1, 1, 0x2002, 9, 8, 0, 0},
     PYXO_ERR_NO_SPACE,
     nullptr},
    {"access1 8",
     Form::wide,
     kDefaultWords,
     {1, 1, 2, 2, 8, 0, 0},
     PYXO_ERR_INVALID_PARAMETER,
     nullptr},
    {"access2 255",
     Form::narrow,
     kDefaultWords,
     {1, 1, 2, 2, 0, 255, 0},
     PYXO_ERR_INVALID_PARAMETER,
     nullptr},
    {"access3 8 on type 2",
     Form::wide,
     kDefaultWords,
     {1, 1, 2, 2, 0, 0, 8},
     PYXO_ERR_INVALID_PARAMETER,
     nullptr},
    {"access1 8 on type 4",
     Form::wide,
     kDefaultWords,
     {1, 1, 2, 4, 8, 0, 0},
     PYXO_ERR_INVALID_PARAMETER,
     nullptr},
    {"size 0",
     Form::wide,
     kDefaultWords,
     {1, 1, 0, 2, 0, 0, 0},
     PYXO_ERR_INVALID_PARAMETER,
     nullptr},
    {"narrow size 0",
     Form::narrow,
     kDefaultWords,
     {1, 1, 0, 2, 0, 0, 0},
     PYXO_ERR_INVALID_PARAMETER,
     nullptr},
    {"narrow file_id 0x100",
     Form::narrow,
     kDefaultWords,
     {0x100, 1, 2, 2, 0, 0, 0},
     PYXO_ERR_INVALID_PARAMETER,
     nullptr},
    {"narrow dir_id 0x10000",
     Form::narrow,
     kDefaultWords,
     {1, 0x10000, 2, 2, 0, 0, 0},
     PYXO_ERR_INVALID_PARAMETER,
     nullptr},
    {"type 0",
     Form::wide,
     kDefaultWords,
     {1, 1, 2, 0, 0, 0, 0},
     PYXO_ERR_INVALID_PARAMETER,
     nullptr},
    {"type 1",
     Form::wide,
     kDefaultWords,
     {1, 1, 2, 1, 0, 0, 0},
     PYXO_ERR_INVALID_PARAMETER,
     nullptr},
    {"type 5",
     Form::narrow,
     kDefaultWords,
     {1, 1, 2, 5, 0, 0, 0},
     PYXO_ERR_INVALID_PARAMETER,
     nullptr},
    {"type 0xFF",
     Form::wide,
     kDefaultWords,
     {1, 1, 2, 0xFF, 0, 0, 0},
     PYXO_ERR_INVALID_PARAMETER,
     nullptr},
};

TEST(CreateFile, EncodingChecksAndTheMirror)
{
    for (const CreateFileCase &c : kCreateFileCases) {
        SCOPED_TRACE(c.what);
        vuxa_test::OpenToken token(fs_test::model_of(c.form), c.memory_words);
        fs_test::set_mirror(token.context, fs_test::kSelected);

        EXPECT_EQ(Pyxo_CreateFile(&token.context, &c.info), c.status);

        if (c.request) {
            expect_sent(token.driver, kCreateFile, c.request);
            const Mirror created = {c.info.dir_id, c.info.file_id, c.info.size, c.info.type, 3};
            EXPECT_EQ(fs_test::mirror_of(token.context), created);
        } else {
            EXPECT_TRUE(token.driver.commands().empty());
            EXPECT_EQ(fs_test::mirror_of(token.context), fs_test::kSelected);
        }
    }
}

TEST(CreateFile, FailedCommandLeavesNoFileSelected)
{
    const PYXO_FILEINFO info = {0x11, 0x22, 64, 2, 1, 2, 0};
    for (Form form : {Form::wide, Form::narrow}) {
        SCOPED_TRACE(fs_test::name_of(form));
        vuxa_test::OpenToken token(fs_test::model_of(form));
        token.driver.script_command(DriverReply::status(0x2A));
        fs_test::set_mirror(token.context, fs_test::kSelected);
        EXPECT_EQ(Pyxo_CreateFile(&token.context, &info), PYXO_ERR_NO_SPACE);
        EXPECT_EQ(fs_test::mirror_of(token.context), fs_test::kSelectedThenDropped);
    }
}

// A record that Pyxo_Dir filled goes back in the access byte it came in.
TEST(CreateFile, AccessByteOfAListedEntryGoesBackUnchanged)
{
    for (Form form : {Form::wide, Form::narrow}) {
        vuxa_test::OpenToken token(fs_test::model_of(form));
        for (uint8_t type = 2; type <= 4; ++type) {
            for (int access = 0; access < 64; ++access) {
                SCOPED_TRACE(std::string(fs_test::name_of(form)) + " type " + std::to_string(type) +
                             " access " + std::to_string(access));
                const auto a = (uint8_t)access;
                const std::vector<uint8_t> answer =
                    form == Form::wide
                        ? std::vector<uint8_t>{0, 0, 0, 0, 0, 0, a, (uint8_t)(type << 5),
                                               4, 0, 9, 0, 0, 0}
                        : std::vector<uint8_t>{0, 0, 0, 0, 4, (uint8_t)(type << 5), 9, a};
                token.driver.clear_requests();
                token.driver.script_command(DriverReply::bytes(answer));
                PYXO_FILEINFO info{};
                ASSERT_EQ(Pyxo_Dir(&token.context, 1, 0, &info), PYXO_OK);
                ASSERT_EQ(Pyxo_CreateFile(&token.context, &info), PYXO_OK);
                const auto sent = fs_test::sent_commands(token.driver);
                ASSERT_EQ(sent.size(), 2u);
                const size_t at = form == Form::wide ? 8 : 6;
                EXPECT_EQ(sent[1].request.at(at), a);
            }
        }
    }
}

struct UnopenedCase {
    const char *what;
    uint32_t (*call)(PYXO_CONTEXT *);
    uint32_t status;
    Mirror mirror; // after the call, starting from kSelected
};

// Checks come first, so they answer on a record that was never opened (whose
// id_size 0 selects the narrow form and whose memory_size is 0 unless set).
const UnopenedCase kUnopenedCases[] = {
    {"create dir, odd", [](PYXO_CONTEXT *c) { return Pyxo_CreateDir(c, 1, 1); },
     PYXO_ERR_ODD_LENGTH, fs_test::kSelected},
    {"create dir, beyond memory 0", [](PYXO_CONTEXT *c) { return Pyxo_CreateDir(c, 1, 2); },
     PYXO_ERR_NO_SPACE, fs_test::kSelected},
    {"create dir, size 0", [](PYXO_CONTEXT *c) { return Pyxo_CreateDir(c, 1, 0); },
     PYXO_ERR_INVALID_PARAMETER, fs_test::kSelected},
    {"create dir, passes",
     [](PYXO_CONTEXT *c) {
         c->memory_size = 0x100;
         return Pyxo_CreateDir(c, 1, 2);
     },
     PYXO_ERR_NO_DEVICE, fs_test::kSelected},
    {"create file, odd",
     [](PYXO_CONTEXT *c) {
         const PYXO_FILEINFO info = {1, 1, 1, 2, 0, 0, 0};
         return Pyxo_CreateFile(c, &info);
     },
     PYXO_ERR_ODD_LENGTH, fs_test::kSelected},
    {"create file, beyond memory 0",
     [](PYXO_CONTEXT *c) {
         const PYXO_FILEINFO info = {1, 1, 2, 2, 0, 0, 0};
         return Pyxo_CreateFile(c, &info);
     },
     PYXO_ERR_NO_SPACE, fs_test::kSelected},
    {"create file, narrow file_id",
     [](PYXO_CONTEXT *c) {
         c->memory_size = 0x100;
         const PYXO_FILEINFO info = {0x100, 1, 2, 2, 0, 0, 0};
         return Pyxo_CreateFile(c, &info);
     },
     PYXO_ERR_INVALID_PARAMETER, fs_test::kSelected},
    {"create file, passes",
     [](PYXO_CONTEXT *c) {
         c->memory_size = 0x100;
         const PYXO_FILEINFO info = {1, 1, 2, 2, 0, 0, 0};
         return Pyxo_CreateFile(c, &info);
     },
     PYXO_ERR_NO_DEVICE, fs_test::kSelectedThenDropped},
    {"delete dir 0", [](PYXO_CONTEXT *c) { return Pyxo_DeleteDir(c, 0); },
     PYXO_ERR_INVALID_PARAMETER, fs_test::kSelected},
    {"delete dir 5", [](PYXO_CONTEXT *c) { return Pyxo_DeleteDir(c, 5); }, PYXO_ERR_NO_DEVICE,
     fs_test::kSelectedThenDropped},
    {"delete file", [](PYXO_CONTEXT *c) { return Pyxo_DeleteFile(c, 5, 1); }, PYXO_ERR_NO_DEVICE,
     fs_test::kSelectedThenDropped},
    {"delete all files", [](PYXO_CONTEXT *c) { return Pyxo_DeleteAllFiles(c); }, PYXO_ERR_NO_DEVICE,
     fs_test::kSelected},
};

TEST(CreateDelete, UnopenedContext)
{
    for (const UnopenedCase &c : kUnopenedCases) {
        SCOPED_TRACE(c.what);
        PYXO_CONTEXT context = vuxa_test::unopened_context();
        fs_test::set_mirror(context, fs_test::kSelected);
        EXPECT_EQ(c.call(&context), c.status);
        EXPECT_EQ(fs_test::mirror_of(context), c.mirror);
    }
}

struct DeleteCase {
    const char *what;
    Form form;
    uint32_t (*call)(PYXO_CONTEXT *);
    uint16_t command;
    const char *request;
    Mirror mirror; // starting from kSelected, on success and on refusal
};

const DeleteCase kDeleteCases[] = {
    {"wide delete dir 5", Form::wide, [](PYXO_CONTEXT *c) { return Pyxo_DeleteDir(c, 5); },
     kDeleteDir, "05 00 00 00", fs_test::kSelectedThenDropped},
    {"narrow delete dir 5", Form::narrow, [](PYXO_CONTEXT *c) { return Pyxo_DeleteDir(c, 5); },
     kDeleteDir, "05 00 00 00", fs_test::kSelectedThenDropped},
    {"narrow delete dir keeps 32 bits", Form::narrow,
     [](PYXO_CONTEXT *c) { return Pyxo_DeleteDir(c, 0x12345678); }, kDeleteDir, "78 56 34 12",
     fs_test::kSelectedThenDropped},
    {"wide delete file", Form::wide, [](PYXO_CONTEXT *c) { return Pyxo_DeleteFile(c, 5, 0x107); },
     kDeleteFile, "05 00 00 00 07 01 00 00", fs_test::kSelectedThenDropped},
    {"wide delete file, large identifiers", Form::wide,
     [](PYXO_CONTEXT *c) { return Pyxo_DeleteFile(c, 0x12345678, 0x9ABCDEF0); }, kDeleteFile,
     "78 56 34 12 F0 DE BC 9A", fs_test::kSelectedThenDropped},
    {"narrow delete file, file_id of 16 bits", Form::narrow,
     [](PYXO_CONTEXT *c) { return Pyxo_DeleteFile(c, 5, 0x107); }, kDeleteFile, "05 00 07 01",
     fs_test::kSelectedThenDropped},
    {"narrow delete file, identifiers cut", Form::narrow,
     [](PYXO_CONTEXT *c) { return Pyxo_DeleteFile(c, 0x12345, 0x10203); }, kDeleteFile,
     "45 23 03 02", fs_test::kSelectedThenDropped},
    {"wide delete all files", Form::wide, [](PYXO_CONTEXT *c) { return Pyxo_DeleteAllFiles(c); },
     kSettings, "03 00 00 00", fs_test::kSelected},
    {"narrow delete all files", Form::narrow,
     [](PYXO_CONTEXT *c) { return Pyxo_DeleteAllFiles(c); }, kSettings, "03 00 00 00",
     fs_test::kSelected},
};

TEST(Delete, EncodingAndMirrorOnSuccessAndRefusal)
{
    for (const DeleteCase &c : kDeleteCases) {
        for (bool refused : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (refused ? ", refused" : ", accepted"));
            vuxa_test::OpenToken token(fs_test::model_of(c.form));
            if (refused)
                token.driver.script_command(DriverReply::status(0x25));
            fs_test::set_mirror(token.context, fs_test::kSelected);

            EXPECT_EQ(c.call(&token.context), refused ? PYXO_ERR_10 : PYXO_OK);

            expect_sent(token.driver, c.command, c.request);
            EXPECT_EQ(fs_test::mirror_of(token.context), c.mirror);
        }
    }
}

TEST(DeleteDir, DirectoryZeroIsRefusedUnsentWithTheMirrorUntouched)
{
    for (Form form : {Form::wide, Form::narrow}) {
        SCOPED_TRACE(fs_test::name_of(form));
        vuxa_test::OpenToken token(fs_test::model_of(form));
        fs_test::set_mirror(token.context, fs_test::kSelected);
        EXPECT_EQ(Pyxo_DeleteDir(&token.context, 0), PYXO_ERR_INVALID_PARAMETER);
        EXPECT_TRUE(token.driver.commands().empty());
        EXPECT_EQ(fs_test::mirror_of(token.context), fs_test::kSelected);
    }
}

} // namespace
