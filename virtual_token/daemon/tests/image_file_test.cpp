// Reading image files whole and replacing them atomically.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

#include "image_file.h"
#include "temp_dir.h"

namespace vuxad {
namespace {

std::vector<uint8_t> contents(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_file(const std::string &path, const std::vector<uint8_t> &bytes)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
}

mode_t mode_of(const std::string &path)
{
    struct stat st {};
    stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

TEST(ImageFile, SaveReplacesTheContentsAndLeavesNoTemporaryFile)
{
    TempDir dir;
    std::string path = dir.path("token.img");
    write_file(path, std::vector<uint8_t>(100, 0xEE));
    chmod(path.c_str(), 0644);

    const std::vector<uint8_t> image = {1, 2, 3, 4, 5};
    save_atomically(path, image);

    EXPECT_EQ(contents(path), image);
    EXPECT_EQ(mode_of(path), 0600u) << "images hold the token's secrets";
    EXPECT_FALSE(file_exists(path + ".tmp"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(ImageFile, SaveOverwritesATemporaryFileLeftByACrash)
{
    TempDir dir;
    std::string path = dir.path("token.img");
    write_file(path + ".tmp", std::vector<uint8_t>(4096, 0x55));

    save_atomically(path, std::vector<uint8_t>{9, 8, 7});

    EXPECT_EQ(contents(path), (std::vector<uint8_t>{9, 8, 7}));
    EXPECT_FALSE(file_exists(path + ".tmp"));
}

TEST(ImageFile, FailedSaveKeepsTheOldContentsAndNamesTheFile)
{
    TempDir dir;
    std::string path = dir.path("token.img");
    write_file(path, {1, 1, 1});
    // A directory where the temporary file should go makes the write fail.
    std::filesystem::create_directory(path + ".tmp");
    std::filesystem::create_directory(path + ".tmp/x");

    try {
        save_atomically(path, std::vector<uint8_t>{2, 2, 2});
        FAIL() << "the save should have failed";
    } catch (const std::runtime_error &e) {
        EXPECT_NE(std::string(e.what()).find(path + ".tmp"), std::string::npos) << e.what();
    }
    EXPECT_EQ(contents(path), (std::vector<uint8_t>{1, 1, 1}));
}

TEST(ImageFile, ReadTakesTheWholeFileUpToTheLimit)
{
    TempDir dir;
    std::string path = dir.path("token.img");
    std::vector<uint8_t> image(300);
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = uint8_t(i);
    write_file(path, image);

    EXPECT_EQ(read_image_file(path, 300), image);
    EXPECT_THROW(read_image_file(path, 299), std::runtime_error);
}

TEST(ImageFile, ReadRefusalsNameTheFile)
{
    TempDir dir;
    const std::string missing = dir.path("missing.img");
    const std::string large = dir.path("large.img");
    write_file(large, std::vector<uint8_t>(64));
    const std::string *paths[] = {&missing, &large};
    for (const std::string *path : paths) {
        try {
            read_image_file(*path, 16);
            ADD_FAILURE() << *path << " was accepted";
        } catch (const std::runtime_error &e) {
            EXPECT_NE(std::string(e.what()).find(*path), std::string::npos) << e.what();
        }
    }
}

} // namespace
} // namespace vuxad
