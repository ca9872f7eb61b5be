// The token's file system through the library, on tokens with 32-bit and
// with 16-bit identifiers.
#include "token_test.h"

namespace e2e {
namespace {

constexpr uint32_t kDir = 5;

class FileSystem : public TokenTest, public ::testing::WithParamInterface<uint8_t> {
protected:
    FileSystem() : TokenTest(1, GetParam()) {}
    void SetUp() override
    {
        TokenTest::SetUp();
        ASSERT_EQ(log_in(context_), PYXO_OK);
        ASSERT_EQ(Pyxo_CreateDir(&context_, kDir, 1000), PYXO_OK);
    }
};

TEST_P(FileSystem, WrittenBytesReadBackAcrossChunks)
{
    ASSERT_EQ(create_open_data_file(context_, kDir, 1, 300), PYXO_OK);
    const std::vector<uint8_t> data = pattern(300, 1);
    uint32_t count = 0;
    ASSERT_EQ(Pyxo_WriteFile(&context_, data.data(), 0, 300, &count), PYXO_OK);
    EXPECT_EQ(count, 300u);

    std::vector<uint8_t> back(300);
    ASSERT_EQ(Pyxo_ReadFile(&context_, back.data(), 0, 300, &count), PYXO_OK);
    EXPECT_EQ(count, 300u);
    EXPECT_EQ(back, data);

    const std::vector<uint8_t> patch = pattern(100, 2);
    ASSERT_EQ(Pyxo_WriteFile(&context_, patch.data(), 150, 100, &count), PYXO_OK);
    ASSERT_EQ(Pyxo_ReadFile(&context_, back.data(), 140, 120, &count), PYXO_OK);
    std::vector<uint8_t> expected(data.begin() + 140, data.begin() + 150);
    expected.insert(expected.end(), patch.begin(), patch.end());
    expected.insert(expected.end(), data.begin() + 250, data.begin() + 260);
    back.resize(120);
    EXPECT_EQ(back, expected);
}

TEST_P(FileSystem, TransfersBeyondTheFileAreRefused)
{
    ASSERT_EQ(create_open_data_file(context_, kDir, 1, 64), PYXO_OK);
    std::vector<uint8_t> buffer(80);
    uint32_t count = 0;
    EXPECT_EQ(Pyxo_ReadFile(&context_, buffer.data(), 0, 80, &count), PYXO_ERR_INVALID_PARAMETER);
    EXPECT_EQ(count, 64u) << "the first chunk was within the file";
    EXPECT_EQ(Pyxo_WriteFile(&context_, buffer.data(), 62, 4, &count), PYXO_ERR_INVALID_PARAMETER);
    EXPECT_EQ(count, 0u);
}

TEST_P(FileSystem, ListingShowsWhatWasCreated)
{
    const PYXO_FILEINFO files[] = {
        {1, kDir, 20, kDataFile, kAfterPin, kAfterMasterKey, 0},
        {2, kDir, 4, kCounterFile, kAlways, kAfterPin, 0},
        {3, kDir, 16, kKeyFile, 7, kAfterPin, kAlways},
    };
    for (const PYXO_FILEINFO &file : files)
        ASSERT_EQ(Pyxo_CreateFile(&context_, &file), PYXO_OK) << "file " << file.file_id;

    PYXO_FILEINFO info{};
    ASSERT_EQ(Pyxo_Dir(&context_, 0, 1, &info), PYXO_OK);
    EXPECT_EQ(info.type, 1) << "a directory as directory 0 lists it";
    EXPECT_EQ(info.file_id, kDir);
    ASSERT_EQ(Pyxo_Dir(&context_, kDir, 0, &info), PYXO_OK);
    EXPECT_EQ(info.type, 0);
    EXPECT_EQ(info.size, 1000u) << "the directory's own record";
    for (uint32_t i = 0; i < 3; ++i) {
        ASSERT_EQ(Pyxo_Dir(&context_, kDir, i + 1, &info), PYXO_OK);
        const PYXO_FILEINFO &file = files[i];
        EXPECT_EQ(info.file_id, file.file_id);
        EXPECT_EQ(info.dir_id, kDir);
        EXPECT_EQ(info.size, file.size);
        EXPECT_EQ(info.type, file.type);
        EXPECT_EQ(info.access1, file.access1) << "file " << file.file_id;
        EXPECT_EQ(info.access2, file.access2) << "file " << file.file_id;
        EXPECT_EQ(info.access3, file.access3) << "file " << file.file_id;
    }
    EXPECT_EQ(Pyxo_Dir(&context_, kDir, 4, &info), PYXO_ERR_5) << "past the last entry";
    EXPECT_EQ(Pyxo_Dir(&context_, kDir + 1, 0, &info), PYXO_ERR_5) << "no such directory";
}

TEST_P(FileSystem, CounterCountsDownToZero)
{
    PYXO_FILEINFO counter{1, kDir, 4, kCounterFile, kAlways, kAlways, 0};
    ASSERT_EQ(Pyxo_CreateFile(&context_, &counter), PYXO_OK);
    const uint8_t two[4] = {2, 0, 0, 0};
    uint32_t count = 0;
    ASSERT_EQ(Pyxo_WriteFile(&context_, two, 0, 4, &count), PYXO_OK);
    EXPECT_EQ(Pyxo_Decrement(&context_), PYXO_OK);
    EXPECT_EQ(Pyxo_Decrement(&context_), PYXO_OK);
    EXPECT_EQ(Pyxo_Decrement(&context_), PYXO_ERR_20) << "the counter is 0";
    uint8_t value[4];
    ASSERT_EQ(Pyxo_ReadFile(&context_, value, 0, 4, &count), PYXO_OK);
    EXPECT_EQ(hex(value, 4), "00000000");
}

TEST_P(FileSystem, DeletingFilesDirectoriesAndEverything)
{
    ASSERT_EQ(create_open_data_file(context_, kDir, 1, 8), PYXO_OK);
    EXPECT_EQ(Pyxo_DeleteDir(&context_, kDir), PYXO_ERR_15) << "it holds a file";
    ASSERT_EQ(Pyxo_DeleteFile(&context_, kDir, 1), PYXO_OK);
    EXPECT_EQ(Pyxo_SelectFile(&context_, kDir, 1), PYXO_ERR_5);
    ASSERT_EQ(Pyxo_DeleteDir(&context_, kDir), PYXO_OK);

    ASSERT_EQ(Pyxo_CreateDir(&context_, 7, 100), PYXO_OK);
    ASSERT_EQ(create_open_data_file(context_, 7, 1, 8), PYXO_OK);
    ASSERT_EQ(Pyxo_DeleteAllFiles(&context_), PYXO_OK);
    PYXO_FILEINFO info{};
    EXPECT_EQ(Pyxo_Dir(&context_, 0, 1, &info), PYXO_ERR_5) << "directory 0 is empty";
}

TEST_P(FileSystem, FullMemoryRefusesWithNoSpace)
{
    ASSERT_EQ(Pyxo_CreateDir(&context_, 6, 6000), PYXO_OK);
    EXPECT_EQ(Pyxo_CreateDir(&context_, 8, 2000), PYXO_ERR_NO_SPACE);
    EXPECT_EQ(create_open_data_file(context_, kDir, 1, 1000), PYXO_ERR_NO_SPACE)
        << "the file and its record exceed the directory";
    EXPECT_EQ(create_open_data_file(context_, kDir, 1, 900), PYXO_OK);
}

TEST_P(FileSystem, FileConditionsAreEnforced)
{
    PYXO_FILEINFO guarded{1, kDir, 8, kDataFile, kAfterPin, kAfterMasterKey, 0};
    ASSERT_EQ(Pyxo_CreateFile(&context_, &guarded), PYXO_OK);
    ASSERT_EQ(Pyxo_ResetDevice(&context_), PYXO_OK);
    ASSERT_EQ(Pyxo_SelectFile(&context_, kDir, 1), PYXO_OK);
    uint8_t buffer[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    uint32_t count = 0;
    EXPECT_EQ(Pyxo_ReadFile(&context_, buffer, 0, 8, &count), PYXO_ERR_ACCESS_DENIED);
    ASSERT_EQ(Pyxo_VerifyPIN(&context_, kPin), PYXO_OK);
    EXPECT_EQ(Pyxo_ReadFile(&context_, buffer, 0, 8, &count), PYXO_OK);
    EXPECT_EQ(Pyxo_WriteFile(&context_, buffer, 0, 8, &count), PYXO_ERR_ACCESS_DENIED);
    ASSERT_EQ(Pyxo_VerifyMasterKey(&context_, kMasterKey.data()), PYXO_OK);
    EXPECT_EQ(Pyxo_WriteFile(&context_, buffer, 0, 8, &count), PYXO_OK);
}

INSTANTIATE_TEST_SUITE_P(Models, FileSystem, ::testing::Values(uint8_t(0x50), uint8_t(0x4F)),
                         [](const auto &info) {
                             return info.param >= 0x50 ? "WideIds" : "NarrowIds";
                         });

} // namespace
} // namespace e2e
