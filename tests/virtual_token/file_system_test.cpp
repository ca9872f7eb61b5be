// The token's file system through its commands, in both identifier
// widths: listing layouts, selection, reading and writing with bounds,
// decrement, creating and deleting, and the memory accounting.
#include "device/token_commands.h"
#include "vtd_fixture.h"

namespace vuxa_test {
namespace {

// Both widths; the PIN is verified, which the test tokens' file-system
// condition (3) accepts.
class FileSystem : public TokenTest, public ::testing::WithParamInterface<uint8_t> {
protected:
    void SetUp() override
    {
        insert(GetParam(), 0, 0x1000);
        attach(0);
        ASSERT_EQ(verify_pin(), 0);
    }
};

INSTANTIATE_TEST_SUITE_P(Widths, FileSystem, ::testing::Values(kWide, kNarrow),
                         [](const auto &info) { return info.param == kWide ? "Wide" : "Narrow"; });

TEST_F(TokenTest, WideListingLayouts)
{
    insert(kWide);
    attach(0);
    ASSERT_EQ(verify_pin(), 0);
    ASSERT_EQ(create_dir(7, 0x80), 0);
    ASSERT_EQ(create_file(7, 0x11, 2, 0x0A, 0x20), 0);
    ASSERT_EQ(create_file(7, 0x12345678, 4, 0x2A, 8), 0);
    ASSERT_EQ(create_file(0, 5, 3, 0x01, 2), 0);
    struct Case {
        uint32_t dir, index;
        const char *answer;
    };
    const Case cases[] = {
        // Directory 0: 0x1000 words, the count its own record reports.
        {0, 0, "00 00 00 00 00 00 00 10 00 00 00 00 00 00"},
        {0, 1, "00 00 00 00 01 00 00 20 80 00 07 00 00 00"}, // directory 7, 0x80 words
        {0, 2, "00 00 00 00 02 00 01 60 02 00 05 00 00 00"}, // counter file 5
        {0, 3, "02"},
        {7, 0, "07 00 00 00 00 00 83 00 00 00 00 00 00 00"}, // 0x80 + 3 header words
        {7, 1, "07 00 00 00 01 00 0a 40 20 00 11 00 00 00"},
        {7, 2, "07 00 00 00 02 00 2a 80 08 00 78 56 34 12"},
        {7, 3, "02"},
        {8, 0, "02"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(to_hex(dir(c.dir, c.index)), c.answer) << c.dir << "/" << c.index;
}

TEST_F(TokenTest, NarrowListingLayouts)
{
    insert(kNarrow);
    attach(0);
    ASSERT_EQ(verify_pin(), 0);
    ASSERT_EQ(create_dir(0x1234, 0x80), 0);
    ASSERT_EQ(create_file(0x1234, 0x11, 2, 0x0A, 0x20), 0);
    // 0x80 words less 0x20 + 2 for file 0x11 leave 0x5E: 0x5C and a header.
    ASSERT_EQ(create_file(0x1234, 0xFF, 4, 0x2A, 0x5D), 10) << "no space";
    ASSERT_EQ(create_file(0x1234, 0xFF, 4, 0x2A, 8), 0);
    const struct {
        uint32_t dir, index;
        const char *answer;
    } cases[] = {
        {0, 0, "00 00 00 00 00 10 00 00"},
        {0, 1, "00 00 01 00 80 20 34 12"},      // type 1, 0x80 words, directory 0x1234
        {0x1234, 0, "34 12 00 00 81 00 00 00"}, // 0x80 + 1 header word
        {0x1234, 1, "34 12 01 00 20 40 11 0a"},
        {0x1234, 2, "34 12 02 00 08 80 ff 2a"},
        {0x1234, 3, "02"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(to_hex(dir(c.dir, c.index)), c.answer) << c.dir << "/" << c.index;
}

// Counts whose high part is 31 or more take the escape: bits 4-0 all ones,
// the high part in the next byte.
TEST_F(TokenTest, DirectoryRecordEscapesLargeWordCounts)
{
    const struct {
        uint8_t model;
        uint16_t words;
        const char *record;
    } cases[] = {
        {kWide, 0x1EFF, "ff 1e 00"},   {kWide, 0x1F00, "00 1f 1f"},   {kWide, 0xFFFF, "ff 1f ff"},
        {kNarrow, 0x1EFF, "ff 1e 00"}, {kNarrow, 0x2345, "45 1f 23"},
    };
    for (const auto &c : cases) {
        insert(c.model, 1, c.words);
        attach(1);
        const Bytes a = dir(0, 0);
        const size_t at = c.model == kWide ? 6 : 4;
        ASSERT_GE(a.size(), at + 3);
        EXPECT_EQ(to_hex(&a[at], 3), c.record) << c.words;
    }
}

TEST_P(FileSystem, CreatedFileIsSelectedAndZeroed)
{
    ASSERT_EQ(create_file(0, 1, 2, 0x00, 4), 0);
    EXPECT_EQ(to_hex(read(0, 4)), "00 00 00 00 00 00 00 00");
    EXPECT_EQ(to_hex(select(0, 1)), "04 00 43 00") << "type 2, may read and write";
}

TEST_P(FileSystem, ReadAndWriteStayWithinTheSelectedFile)
{
    ASSERT_EQ(create_file(0, 1, 2, 0x00, 40), 0);
    const struct {
        uint32_t offset, count;
        uint8_t write_status;
    } cases[] = {
        {0, 1, 0},       {39, 1, 0},  {2, 38, 0},
        {40, 1, 11},     {39, 2, 11}, {0, 39, 11}, // beyond the 38 words one request carries
        {0xFFFF, 2, 11},
    };
    for (const auto &c : cases) {
        const Bytes data(2 * c.count, uint8_t(c.offset + 1));
        EXPECT_EQ(write(c.offset, data), c.write_status) << c.offset << "+" << c.count;
        if (c.count <= 32) {
            const Bytes back = read(c.offset, c.count);
            if (c.write_status == 0)
                EXPECT_EQ(back, data);
            else
                EXPECT_EQ(to_hex(back), "0b");
        }
    }
    EXPECT_EQ(to_hex(read(0, 33)), "0b") << "one answer holds 64 bytes";
    EXPECT_EQ(to_hex(read(0, 0)), "0b");
    EXPECT_EQ(write(0, {}), 11);
    // A write whose count disagrees with its payload.
    EXPECT_EQ(status(PYXO_CMD_WRITE_FILE, {0, 0, 2, 0, 1, 2}), 11);
}

TEST_P(FileSystem, ReadWriteDecrementNeedASelection)
{
    EXPECT_EQ(to_hex(read(0, 1)), "03");
    EXPECT_EQ(write(0, {1, 2}), 3);
    EXPECT_EQ(status(PYXO_CMD_DECREMENT), 3);
    ASSERT_EQ(create_file(0, 1, 2, 0, 2), 0);
    EXPECT_EQ(status(PYXO_CMD_CLOSE_FILE), 0);
    EXPECT_EQ(to_hex(read(0, 1)), "03");
}

TEST_P(FileSystem, DecrementCountsACounterFileDown)
{
    ASSERT_EQ(create_file(0, 1, 3, 0x00, 2), 0);
    ASSERT_EQ(write(0, {0x01, 0x00, 0x01, 0x00}), 0); // 0x00010001
    EXPECT_EQ(status(PYXO_CMD_DECREMENT), 0);
    EXPECT_EQ(to_hex(read(0, 2)), "00 00 01 00");
    EXPECT_EQ(status(PYXO_CMD_DECREMENT), 0);
    EXPECT_EQ(to_hex(read(0, 2)), "ff ff 00 00");
    ASSERT_EQ(write(0, {0x01, 0, 0, 0}), 0);
    EXPECT_EQ(status(PYXO_CMD_DECREMENT), 0);
    EXPECT_EQ(status(PYXO_CMD_DECREMENT), 12) << "a counter at 0";
    EXPECT_EQ(to_hex(read(0, 2)), "00 00 00 00");

    ASSERT_EQ(create_file(0, 2, 2, 0x00, 2), 0);
    EXPECT_EQ(status(PYXO_CMD_DECREMENT), 8) << "a data file";
    EXPECT_EQ(create_file(0, 3, 3, 0x00, 1), 11) << "a counter needs two words";
}

TEST_P(FileSystem, CreateRefusesMalformedAndDuplicateEntries)
{
    ASSERT_EQ(create_dir(5, 16), 0);
    ASSERT_EQ(create_file(5, 1, 2, 0, 2), 0);
    const struct {
        uint32_t dir, file;
        uint8_t type, access;
        uint32_t words;
        uint8_t status;
    } cases[] = {
        {5, 1, 2, 0, 2, 4},     // exists
        {6, 1, 2, 0, 2, 2},     // no directory 6
        {5, 0, 2, 0, 2, 11},    // file 0 is the directory itself
        {5, 2, 1, 0, 2, 11},    // type 1
        {5, 2, 5, 0, 2, 11},    // type 5
        {5, 2, 0, 0, 2, 11},    // type 0
        {5, 2, 2, 0x40, 2, 11}, // access bits 7-6
        {5, 2, 2, 0, 0, 11},    // no size
        {5, 2, 4, 0x3F, 2, 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(create_file(c.dir, c.file, c.type, c.access, c.words), c.status)
            << c.dir << "/" << c.file << " type " << int(c.type);
    EXPECT_EQ(create_dir(5, 16), 4);
    EXPECT_EQ(create_dir(0, 16), 4) << "directory 0 always exists";
    EXPECT_EQ(create_dir(6, 0), 11);
}

TEST_F(TokenTest, NarrowTokensKeepSizesIn13Bits)
{
    insert(kNarrow, 0, 0xFFFF);
    attach(0);
    ASSERT_EQ(verify_pin(), 0);
    EXPECT_EQ(create_dir(1, 0x2000), 11);
    EXPECT_EQ(create_dir(1, 0x1FFF), 0);
    EXPECT_EQ(create_file(0, 1, 2, 0, 0x1FFF), 0);
    // A file identifier above 8 bits cannot be created or selected.
    EXPECT_EQ(status(PYXO_CMD_CREATE_FILE, {0, 0, 0, 1, 2, 0x40, 0, 0}), 11);
    EXPECT_EQ(to_hex(select(0, 0x101)), "02");
}

TEST_P(FileSystem, MemoryAccountingRefusesWhatDoesNotFit)
{
    const bool is_wide = GetParam() == kWide;
    const uint32_t dir_header = is_wide ? 3 : 1, file_header = is_wide ? 4 : 2;
    // Directory 0 offers 0x1000 words less its record.
    const uint32_t room = 0x1000 - dir_header;
    ASSERT_EQ(create_dir(1, room - dir_header + 1), 10);
    ASSERT_EQ(create_dir(1, 100), 0);
    // Directory 1 offers exactly 100 words: two files of 50 - header fit.
    EXPECT_EQ(create_file(1, 1, 2, 0, 50 - file_header), 0);
    EXPECT_EQ(create_file(1, 2, 2, 0, 50 - file_header + 1), 10);
    EXPECT_EQ(create_file(1, 2, 2, 0, 50 - file_header), 0);
    EXPECT_EQ(create_file(1, 3, 2, 0, 1), 10);
    // Directory 0 has what directory 1 does not take.
    const uint32_t left = room - (100 + dir_header);
    EXPECT_EQ(create_file(0, 1, 2, 0, left - file_header + 1), 10);
    EXPECT_EQ(create_file(0, 1, 2, 0, left - file_header), 0);
    EXPECT_EQ(create_dir(2, 1), 10);
    // Deleting gives the room back.
    EXPECT_EQ(status(PYXO_CMD_DELETE_DIR, {1, 0, 0, 0}), 9) << "directory 1 holds files";
    Bytes del = is_wide ? Bytes{1, 0, 0, 0, 1, 0, 0, 0} : Bytes{1, 0, 1, 0};
    EXPECT_EQ(status(PYXO_CMD_DELETE_FILE, del), 0);
    EXPECT_EQ(status(PYXO_CMD_DELETE_FILE, del), 2);
    EXPECT_EQ(create_file(1, 3, 2, 0, 50 - file_header), 0);
}

TEST_P(FileSystem, EntryTableHoldsAtMost256Entries)
{
    for (uint32_t i = 1; i <= 128; i++) {
        ASSERT_EQ(create_dir(i, 1), 0) << i;
        ASSERT_EQ(create_file(0, i, 2, 0, 1), 0) << i;
    }
    EXPECT_EQ(create_dir(1000, 1), 10);
    EXPECT_EQ(create_file(0, 200, 2, 0, 1), 10);
    EXPECT_EQ(status(PYXO_CMD_DELETE_DIR, {128, 0, 0, 0}), 0);
    EXPECT_EQ(create_file(0, 200, 2, 0, 1), 0);
}

TEST_P(FileSystem, DeletingAFileKeepsTheOthersContents)
{
    const Bytes a = {0xA1, 0xA2, 0xA3, 0xA4}, b = {0xB1, 0xB2}, c = {0xC1, 0xC2, 0xC3, 0xC4};
    ASSERT_EQ(create_file(0, 1, 2, 0, 2), 0);
    ASSERT_EQ(write(0, a), 0);
    ASSERT_EQ(create_file(0, 2, 2, 0, 1), 0);
    ASSERT_EQ(write(0, b), 0);
    ASSERT_EQ(create_file(0, 3, 2, 0, 2), 0);
    ASSERT_EQ(write(0, c), 0);
    const Bytes del = wide ? Bytes{0, 0, 0, 0, 2, 0, 0, 0} : Bytes{0, 0, 2, 0};
    ASSERT_EQ(status(PYXO_CMD_DELETE_FILE, del), 0);
    EXPECT_EQ(to_hex(read(0, 1)), "03") << "deleting leaves no file selected";
    ASSERT_EQ(select(0, 1).size(), 4u);
    EXPECT_EQ(read(0, 2), a);
    ASSERT_EQ(select(0, 3).size(), 4u);
    EXPECT_EQ(read(0, 2), c);
    EXPECT_EQ(to_hex(cmd(PYXO_CMD_DIAGNOSE, {}, 6)), "00 01 ff 00 ff 10");
    // A new file in the freed room starts zeroed.
    ASSERT_EQ(create_file(0, 2, 2, 0, 1), 0);
    EXPECT_EQ(to_hex(read(0, 1)), "00 00");
}

TEST_P(FileSystem, SelectionFollowsTheCommands)
{
    ASSERT_EQ(create_file(0, 1, 2, 0, 2), 0);
    // Listing drops the selection, as the library's mirror says.
    dir(0, 0);
    EXPECT_EQ(to_hex(read(0, 1)), "03");
    ASSERT_EQ(select(0, 1).size(), 4u);
    // Creating a directory keeps it; a refused file create drops it.
    ASSERT_EQ(create_dir(3, 4), 0);
    EXPECT_EQ(read(0, 1).size(), 2u);
    ASSERT_EQ(create_file(0, 1, 2, 0, 2), 4);
    EXPECT_EQ(to_hex(read(0, 1)), "03");
    // A failed selection leaves nothing selected.
    ASSERT_EQ(select(0, 1).size(), 4u);
    EXPECT_EQ(to_hex(select(0, 9)), "02");
    EXPECT_EQ(to_hex(read(0, 1)), "03");
}

TEST_P(FileSystem, DeleteAllFilesEmptiesEverythingButDirectoryZero)
{
    ASSERT_EQ(create_dir(4, 10), 0);
    ASSERT_EQ(create_file(4, 1, 2, 0, 2), 0);
    ASSERT_EQ(create_file(0, 1, 2, 0, 2), 0);
    EXPECT_EQ(status(PYXO_CMD_SETTINGS, {3, 0, 0, 0}), 0);
    EXPECT_EQ(to_hex(dir(0, 1)), "02");
    EXPECT_EQ(to_hex(dir(4, 0)), "02");
    EXPECT_EQ(to_hex(read(0, 1)), "03");
    EXPECT_EQ(dir(0, 0).size(), wide ? 14u : 8u);
    EXPECT_EQ(status(PYXO_CMD_DELETE_DIR, {0, 0, 0, 0}), 11) << "directory 0 stays";
}

} // namespace
} // namespace vuxa_test
