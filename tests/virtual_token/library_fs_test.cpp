// The library's file-system functions against the core, in both widths:
// what the library decodes is what the token keeps.
#include <numeric>

#include "core_behind_library.h"

namespace vuxa_test {
namespace {

class LibraryFileSystem : public ThroughTheLibrary, public ::testing::WithParamInterface<uint8_t> {
protected:
    uint8_t model() const override { return GetParam(); }
    PYXO_FILEINFO file_info(uint32_t dir_id, uint32_t file_id, uint8_t type, uint32_t size,
                            uint8_t access1 = 0, uint8_t access2 = 0, uint8_t access3 = 0)
    {
        return PYXO_FILEINFO{file_id, dir_id, size, type, access1, access2, access3};
    }
};

INSTANTIATE_TEST_SUITE_P(Widths, LibraryFileSystem, ::testing::Values(kWide, kNarrow),
                         [](const auto &info) { return info.param == kWide ? "Wide" : "Narrow"; });

TEST_P(LibraryFileSystem, DirListsWhatWasCreated)
{
    ASSERT_EQ(Pyxo_CreateDir(&context, 7, 256), PYXO_OK);
    PYXO_FILEINFO data = file_info(7, 0x11, 2, 64, 1, 2);
    ASSERT_EQ(Pyxo_CreateFile(&context, &data), PYXO_OK);
    PYXO_FILEINFO key = file_info(7, 0x12, 4, 16, 7, 2, 5);
    ASSERT_EQ(Pyxo_CreateFile(&context, &key), PYXO_OK);

    PYXO_FILEINFO info{};
    ASSERT_EQ(Pyxo_Dir(&context, 0, 0, &info), PYXO_OK);
    EXPECT_EQ(info.type, 0);
    EXPECT_EQ(info.size, 8192u - (GetParam() == kWide ? 6 : 2)) << "directory 0 less its record";
    ASSERT_EQ(Pyxo_Dir(&context, 0, 1, &info), PYXO_OK);
    EXPECT_EQ(info.type, 1);
    EXPECT_EQ(info.file_id, 7u) << "the directory's identifier";
    EXPECT_EQ(info.size, 256u);
    ASSERT_EQ(Pyxo_Dir(&context, 7, 0, &info), PYXO_OK);
    EXPECT_EQ(info.type, 0);
    EXPECT_EQ(info.size, 256u);
    ASSERT_EQ(Pyxo_Dir(&context, 7, 1, &info), PYXO_OK);
    EXPECT_EQ(info.file_id, 0x11u);
    EXPECT_EQ(info.size, 64u);
    EXPECT_EQ(info.type, 2);
    EXPECT_EQ(info.access1, 1);
    EXPECT_EQ(info.access2, 2);
    ASSERT_EQ(Pyxo_Dir(&context, 7, 2, &info), PYXO_OK);
    EXPECT_EQ(info.type, 4);
    EXPECT_EQ(info.access1, 7);
    EXPECT_EQ(info.access2, 2);
    EXPECT_EQ(info.access3, 5);
    EXPECT_EQ(Pyxo_Dir(&context, 7, 3, &info), PYXO_ERR_5) << "token status 2, no entry";
}

TEST_P(LibraryFileSystem, WrittenDataReadsBackAcrossChunks)
{
    PYXO_FILEINFO info = file_info(0, 1, 2, 300);
    ASSERT_EQ(Pyxo_CreateFile(&context, &info), PYXO_OK);
    EXPECT_EQ(context.current_file_attr, 3);
    std::vector<uint8_t> data(300);
    std::iota(data.begin(), data.end(), uint8_t(1));
    uint32_t count = 0;
    ASSERT_EQ(Pyxo_WriteFile(&context, data.data(), 0, 300, &count), PYXO_OK);
    EXPECT_EQ(count, 300u);
    ASSERT_EQ(Pyxo_SelectFile(&context, 0, 1), PYXO_OK);
    EXPECT_EQ(context.current_file_size, 300u);
    EXPECT_EQ(context.current_file_type, 2);
    EXPECT_EQ(context.current_file_attr, 3) << "read and write allowed now";
    std::vector<uint8_t> back(300);
    ASSERT_EQ(Pyxo_ReadFile(&context, back.data(), 0, 300, &count), PYXO_OK);
    EXPECT_EQ(back, data);
    ASSERT_EQ(Pyxo_ReadFile(&context, back.data(), 100, 130, &count), PYXO_OK);
    EXPECT_EQ(std::vector<uint8_t>(back.begin(), back.begin() + 130),
              std::vector<uint8_t>(data.begin() + 100, data.begin() + 230));
    // Past the end of the file: the token refuses the chunk that crosses it.
    EXPECT_EQ(Pyxo_ReadFile(&context, back.data(), 200, 130, &count), PYXO_ERR_INVALID_PARAMETER);
    EXPECT_EQ(count, 64u);
}

TEST_P(LibraryFileSystem, RefusalsArriveAsTheLibrarysStatusCodes)
{
    PYXO_FILEINFO info = file_info(0, 1, 3, 4);
    ASSERT_EQ(Pyxo_CreateFile(&context, &info), PYXO_OK);
    EXPECT_EQ(Pyxo_CreateFile(&context, &info), PYXO_ERR_9) << "exists";
    EXPECT_EQ(Pyxo_Decrement(&context), PYXO_ERR_3) << "none selected after the refusal";
    ASSERT_EQ(Pyxo_SelectFile(&context, 0, 1), PYXO_OK);
    EXPECT_EQ(Pyxo_Decrement(&context), PYXO_ERR_20) << "a counter at 0";
    PYXO_FILEINFO big = file_info(0, 2, 2, 8190);
    EXPECT_EQ(Pyxo_CreateFile(&context, &big), PYXO_ERR_NO_SPACE);
    PYXO_FILEINFO orphan = file_info(9, 2, 2, 8);
    EXPECT_EQ(Pyxo_CreateFile(&context, &orphan), PYXO_ERR_5);
    ASSERT_EQ(Pyxo_CreateDir(&context, 9, 40), PYXO_OK);
    ASSERT_EQ(Pyxo_CreateFile(&context, &orphan), PYXO_OK);
    EXPECT_EQ(Pyxo_DeleteDir(&context, 9), PYXO_ERR_15) << "not empty";
    EXPECT_EQ(Pyxo_DeleteFile(&context, 9, 2), PYXO_OK);
    EXPECT_EQ(Pyxo_DeleteDir(&context, 9), PYXO_OK);
    EXPECT_EQ(Pyxo_SelectFile(&context, 9, 2), PYXO_ERR_5);
    EXPECT_EQ(Pyxo_CloseFile(&context), PYXO_OK);
    uint32_t count = 0;
    uint8_t buffer[2];
    EXPECT_EQ(Pyxo_ReadFile(&context, buffer, 0, 2, &count), PYXO_ERR_3) << "nothing selected";
}

TEST_P(LibraryFileSystem, DeleteAllFilesLeavesAnEmptyDirectoryZero)
{
    ASSERT_EQ(Pyxo_CreateDir(&context, 3, 40), PYXO_OK);
    PYXO_FILEINFO info = file_info(3, 1, 2, 8);
    ASSERT_EQ(Pyxo_CreateFile(&context, &info), PYXO_OK);
    ASSERT_EQ(Pyxo_DeleteAllFiles(&context), PYXO_OK);
    PYXO_FILEINFO entry{};
    EXPECT_EQ(Pyxo_Dir(&context, 0, 1, &entry), PYXO_ERR_5);
    EXPECT_EQ(Pyxo_Dir(&context, 3, 0, &entry), PYXO_ERR_5);
}

} // namespace
} // namespace vuxa_test
