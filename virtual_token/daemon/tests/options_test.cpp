// vuxad's command line.
#include <gtest/gtest.h>

#include <initializer_list>

#include "options.h"

namespace vuxad {
namespace {

Options parse(std::initializer_list<const char *> args)
{
    std::vector<char *> argv{const_cast<char *>("vuxad")};
    for (const char *arg : args)
        argv.push_back(const_cast<char *>(arg));
    return parse_options(int(argv.size()), argv.data());
}

TEST(Options, ImagesKeepTheirOrderAsPositions)
{
    Options o = parse({"a.img", "--dir", "/tmp/s", "--new", "b.img", "c.img"});
    ASSERT_EQ(o.images.size(), 3u);
    EXPECT_EQ(o.images[0].path, "a.img");
    EXPECT_FALSE(o.images[0].create);
    EXPECT_EQ(o.images[1].path, "b.img");
    EXPECT_TRUE(o.images[1].create);
    EXPECT_EQ(o.images[2].path, "c.img");
    EXPECT_EQ(o.dir, "/tmp/s");
}

TEST(Options, NewTokensTakeTheSettingsGivenBeforeThem)
{
    Options o = parse({"--new=a.img", "--model", "0x4F", "--memory=512", "--pin", "42", "--serial",
                       "0102030405060708", "--master-key", "A1B2C3D4E5F60718", "--settings", "0a11",
                       "--new", "b.img"});
    ASSERT_EQ(o.images.size(), 2u);
    const NewToken &first = *o.images[0].create;
    EXPECT_EQ(first.model, 0x50);
    EXPECT_EQ(first.memory_bytes, 8192u);
    EXPECT_FALSE(first.serial);
    EXPECT_EQ(first.pin, 1234u);
    EXPECT_EQ(first.settings, (std::array<uint8_t, 2>{0x1A, 0x53}));

    const NewToken &second = *o.images[1].create;
    EXPECT_EQ(second.model, 0x4F);
    EXPECT_EQ(second.memory_bytes, 512u);
    EXPECT_EQ(second.pin, 42u);
    ASSERT_TRUE(second.serial);
    EXPECT_EQ(*second.serial, (std::array<uint8_t, 8>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(second.settings, (std::array<uint8_t, 2>{0x0A, 0x11}));
    EXPECT_EQ(second.master_key,
              (std::array<uint8_t, 8>{0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0x07, 0x18}));
}

TEST(Options, NoImageMeansAnEmptyDriver)
{
    EXPECT_TRUE(parse({}).images.empty());
    EXPECT_EQ(parse({"--dir", "/tmp/s"}).dir, "/tmp/s");
    EXPECT_TRUE(parse({"--help"}).help);
    EXPECT_TRUE(parse({"--create-only", "--new", "x.img"}).create_only);
}

TEST(Options, MistakesAreUsageErrors)
{
    const std::vector<std::vector<const char *>> cases = {
        {"--new"},
        {"--bogus", "a.img"},
        {"--model", "0x60", "--new", "a"},
        {"--model", "0x3F", "--new", "a"},
        {"--memory", "7", "--new", "a"},
        {"--memory", "126", "--new", "a"},
        {"--settings", "1B5", "--new", "a"},
        {"--memory", "0", "--new", "a"},
        {"--memory", "131072", "--new", "a"},
        {"--memory", "-2", "--new", "a"},
        {"--pin", "4294967296", "--new", "a"},
        {"--pin", "12x", "--new", "a"},
        {"--serial", "01020304050607", "--new", "a"},
        {"--master-key", "010203040506070g", "--new", "a"},
        {"--help=yes"},
    };
    for (const auto &args : cases) {
        std::vector<char *> argv{const_cast<char *>("vuxad")};
        for (const char *arg : args)
            argv.push_back(const_cast<char *>(arg));
        EXPECT_THROW(parse_options(int(argv.size()), argv.data()), std::invalid_argument)
            << args[0];
    }
}

} // namespace
} // namespace vuxad
