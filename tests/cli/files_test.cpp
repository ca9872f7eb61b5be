// The file system commands against a virtual token: what ls shows, data
// in and out, counters, deletion, and the token's refusals.
#include <gtest/gtest.h>

#include "tool.h"
#include "virtual_token.h"

namespace pyxo_test {
namespace {

const std::string kHeader = "INDEX  TYPE       DIR         ID          SIZE    ACCESS\n";

// Directory 1 of 256 bytes with a data file 5 (64 bytes, read always, write
// with the master key), a counter file 6 and a data file 7 of 128 bytes.
class Files : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const std::vector<std::string> &step :
             {std::vector<std::string>{"mkdir", "1", "256"},
              {"create", "1", "5", "64", "data", "0", "2", "0"},
              {"create", "1", "6", "4", "counter", "0", "2", "0"},
              {"create", "1", "7", "128", "2", "0", "0", "0"}}) {
            const ToolResult r = token.admin(step);
            ASSERT_EQ(r.exit_code, 0) << step[0] << ": " << r.err;
            ASSERT_EQ(r.out + r.err, "");
        }
    }

    VirtualToken token;
};

TEST(FreshToken, ListsDirectoryZeroAlone)
{
    VirtualToken token;
    const ToolResult r = token.run({"ls"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    // 4096 words less the 3 of the wide directory record: 8192 - 6 bytes.
    EXPECT_EQ(r.out, kHeader + "0      directory  0           0           8186    - - -\n");
}

TEST_F(Files, LsShowsDirectoriesAndFiles)
{
    EXPECT_EQ(token.run({"ls", "0"}).out,
              kHeader + "0      directory  0           0           8186    - - -\n"
                        "1      dir-entry  0           1           256     - - -\n");
    EXPECT_EQ(token.run({"ls", "1"}).out,
              kHeader + "0      directory  1           0           256     - - -\n"
                        "1      data       1           5           64      0 2 -\n"
                        "2      counter    1           6           4       0 2 -\n"
                        "3      data       1           7           128     0 0 -\n");
}

TEST_F(Files, WrittenBytesReadBackAsAHexDump)
{
    EXPECT_EQ(token.admin({"write", "1", "5", "16", "48656c6c6f2c20776f726c6421000000"}).exit_code,
              0);
    const ToolResult r = token.run({"read", "1", "5", "16", "16"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "00000010  48 65 6c 6c 6f 2c 20 77 6f 72 6c 64 21 00 00 00  |Hello, world!...|\n");
    const ToolResult whole = token.run({"read", "1", "5"});
    EXPECT_EQ(whole.out, "00000000  00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00  |................|\n"
                         "00000010  48 65 6c 6c 6f 2c 20 77 6f 72 6c 64 21 00 00 00  |Hello, world!...|\n"
                         "00000020  00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00  |................|\n"
                         "00000030  00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00  |................|\n");
}

TEST_F(Files, RawBytesGoToFilesAndComeFromFiles)
{
    TempDir dir;
    std::string data;
    for (int i = 0; i < 128; i++)
        data += char(i * 7);
    write_text_file(dir.file("in"), data);
    EXPECT_EQ(token.run({"write", "1", "7", "0", "@" + dir.file("in")}).exit_code, 0);
    const ToolResult to_file = token.run({"read", "1", "7", "--out", dir.file("out")});
    EXPECT_EQ(to_file.exit_code, 0) << to_file.err;
    EXPECT_EQ(to_file.out, "");
    EXPECT_EQ(read_text_file(dir.file("out")), data);
    EXPECT_EQ(token.run({"read", "1", "7", "2", "4", "--out", "-"}).out, data.substr(2, 4));
    EXPECT_EQ(token.run({"write", "1", "7", "126", "-"}, "zz").exit_code, 0);
    EXPECT_EQ(token.run({"read", "1", "7", "124", "4", "--out=-"}).out, data.substr(124, 2) + "zz");
}

TEST_F(Files, APartialWriteSaysHowFarItGot)
{
    const ToolResult r = token.run({"write", "1", "7", "0", std::string(300, 'a')});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.err, "pyxo: write: writing 150 bytes at offset 0 (76 written): "
                     "PYXO_ERR_INVALID_PARAMETER (17): an argument is out of range, or the token "
                     "refused the request as malformed (token status 11)\n");
}

struct FileRefusal {
    std::vector<std::string> args;
    std::string err;
};

void PrintTo(const FileRefusal &c, std::ostream *os)
{
    *os << command_line(c.args);
}

const FileRefusal kFileRefusals[] = {
    {{"write", "1", "5", "0", "0102"},
     "pyxo: write: writing 2 bytes at offset 0 (0 written): PYXO_ERR_ACCESS_DENIED (4): access "
     "denied: a wrong PIN or master key, or an access condition that is not met (give --pin or "
     "--master-key)"},
    {{"read", "1", "5", "1", "2"},
     "pyxo: read: reading 2 bytes at offset 1 (0 read): PYXO_ERR_ODD_LENGTH (18): sizes, offsets "
     "and lengths must be even: token memory is made of 16-bit words"},
    {{"read", "1", "9"},
     "pyxo: read: selecting file 9 of directory 1: PYXO_ERR_5 (5): no such directory, file or "
     "entry (token status 2)"},
    {{"ls", "7"},
     "pyxo: ls: listing entry 0 of directory 7: PYXO_ERR_5 (5): no such directory, file or entry "
     "(token status 2)"},
    {{"mkdir", "2", "64"},
     "pyxo: mkdir: creating directory 2: PYXO_ERR_ACCESS_DENIED (4): access denied: a wrong PIN "
     "or master key, or an access condition that is not met (give --pin or --master-key)"},
    {{"--master-key", "0102030405060708", "mkdir", "1", "64"},
     "pyxo: mkdir: creating directory 1: PYXO_ERR_9 (9): the directory or file exists already "
     "(token status 4)"},
    {{"--master-key", "0102030405060708", "rmdir", "1"},
     "pyxo: rmdir: deleting directory 1: PYXO_ERR_15 (15): the directory is not empty (token "
     "status 9)"},
    {{"--master-key", "0102030405060708", "mkdir", "2", "16384"},
     "pyxo: mkdir: creating directory 2: PYXO_ERR_NO_SPACE (16): not enough room: larger than the "
     "token's memory, or no space left (token status 10)"},
    {{"decrement", "1", "5"},
     "pyxo: decrement: decrementing file 5 of directory 1: PYXO_ERR_14 (14): the selected file's "
     "type does not allow this (token status 8)"},
};

class FileRefusals : public Files, public ::testing::WithParamInterface<FileRefusal> {};

TEST_P(FileRefusals, ExitWith1AndNameTheStatus)
{
    const ToolResult r = token.run(GetParam().args);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.err, GetParam().err + "\n");
}

INSTANTIATE_TEST_SUITE_P(Cases, FileRefusals, ::testing::ValuesIn(kFileRefusals));

TEST_F(Files, ACounterCountsDownToZero)
{
    ASSERT_EQ(token.admin({"write", "1", "6", "0", "02000000"}).exit_code, 0);
    EXPECT_EQ(token.run({"decrement", "1", "6"}).exit_code, 0);
    EXPECT_EQ(token.run({"decrement", "1", "6"}).exit_code, 0);
    const ToolResult r = token.run({"decrement", "1", "6"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.err, "pyxo: decrement: decrementing file 6 of directory 1: PYXO_ERR_20 (20): the "
                     "counter is 0 already (token status 12)\n");
    EXPECT_EQ(token.run({"read", "1", "6", "--out", "-"}).out, std::string(4, '\0'));
}

TEST_F(Files, DeletionTakesFilesThenDirectoriesAway)
{
    EXPECT_EQ(token.admin({"rm", "1", "5"}).exit_code, 0);
    EXPECT_EQ(token.admin({"rm", "1", "5"}).exit_code, 1);
    EXPECT_EQ(token.run({"ls", "1"}).out.find(" 5 "), std::string::npos);
    EXPECT_EQ(token.admin({"rm", "1", "6"}).exit_code, 0);
    EXPECT_EQ(token.admin({"rm", "1", "7"}).exit_code, 0);
    EXPECT_EQ(token.admin({"rmdir", "1"}).exit_code, 0);
    EXPECT_EQ(token.run({"ls"}).out,
              kHeader + "0      directory  0           0           8186    - - -\n");
}

TEST_F(Files, DeleteAllLeavesDirectoryZero)
{
    EXPECT_EQ(token.run({"delete-all", "--yes"}).exit_code, 1); // needs the master key
    const ToolResult r = token.admin({"delete-all", "--yes"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(token.run({"ls"}).out,
              kHeader + "0      directory  0           0           8186    - - -\n");
}

TEST(NarrowToken, TakesSixteenBitIdentifiers)
{
    VirtualToken token(0x4F, 0x800);
    EXPECT_EQ(token.admin({"mkdir", "0xffff", "64"}).exit_code, 0);
    EXPECT_EQ(token.admin({"create", "0xffff", "0xff", "16", "data", "0", "0", "0"}).exit_code, 0);
    const ToolResult wide_id = token.admin({"create", "0xffff", "0x100", "16", "data", "0", "0", "0"});
    EXPECT_EQ(wide_id.exit_code, 1);
    EXPECT_NE(wide_id.err.find("PYXO_ERR_INVALID_PARAMETER (17)"), std::string::npos);
    // 64 bytes and the narrow record's 1 word: the library shows 64 - 2 + 2.
    EXPECT_EQ(token.run({"ls", "65535"}).out,
              kHeader + "0      directory  65535       0           64      - - -\n"
                        "1      data       65535       255         16      0 0 -\n");
}

} // namespace
} // namespace pyxo_test
