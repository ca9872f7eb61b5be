// Token images: a round trip keeps every persistent part of a token; a
// damaged, truncated or unknown image is refused with its error and
// changes nothing.
#include <cstring>
#include <random>
#include <set>
#include <string>

#include "device/token_commands.h"
#include "util/bytes.h"
#include "vtd_fixture.h"

namespace vuxa_test {
namespace {

// A CRC-32 of the test's own, bit by bit, to seal images it edits.
uint32_t crc32(const Bytes &data)
{
    uint32_t crc = 0xFFFFFFFF;
    for (uint8_t byte : data) {
        crc ^= byte;
        for (int k = 0; k < 8; k++)
            crc = (crc >> 1) ^ (0xEDB88320 & (0u - (crc & 1)));
    }
    return ~crc;
}

void seal(Bytes &image)
{
    put_le32(&image[16], 0);
    put_le32(&image[16], crc32(image));
}

class Images : public TokenTest {
protected:
    // A token with a bit of everything, at position 0.
    void SetUp() override
    {
        insert(kWide);
        attach(0);
        ASSERT_EQ(verify_key(), 0);
        ASSERT_EQ(verify_pin(), 0);
        ASSERT_EQ(create_dir(3, 40), 0);
        ASSERT_EQ(create_file(3, 1, 2, 0x0A, 4), 0);
        ASSERT_EQ(write(0, hex("01 02 03 04 05 06 07 08")), 0);
        ASSERT_EQ(create_file(0, 9, 4, 0x01, 8), 0);
        ASSERT_EQ(write(0, Bytes(16, 0x77)), 0);
        ASSERT_EQ(create_file(3, 2, 3, 0x00, 2), 0);
        ASSERT_EQ(write(0, hex("05 00 00 00")), 0);
        ASSERT_EQ(verify_pin(0xBAD), 1); // one wrong try to keep
        image = exported(0);
    }
    Bytes exported(uint32_t at)
    {
        Bytes out(vtd_max_image_size());
        out.resize(vtd_export_image(driver.get(), at, out.data(), uint32_t(out.size())));
        return out;
    }
    uint32_t import(uint32_t at, const Bytes &bytes)
    {
        return vtd_import_image(driver.get(), at, bytes.data(), uint32_t(bytes.size()));
    }
    Bytes image;
};

TEST_F(Images, HeaderLayout)
{
    ASSERT_EQ(image.size(), 96u + 4 * 16 + 2 * (4 + 8 + 2));
    EXPECT_EQ(to_hex(image.data(), 16),
              "56 54 4f 4b 45 4e 0d 0a 01 00 20 00 " + to_hex(&image[12], 4));
    EXPECT_EQ(get_le32(&image[12]), image.size());
    EXPECT_EQ(to_hex(&image[20], 12), "04 00 00 00 1c 00 00 00 00 00 00 00");
    EXPECT_EQ(to_hex(&image[32], 8), "08 50 01 10 00 10 03 0a") << "descriptor";
    EXPECT_EQ(to_hex(&image[64], 8), "01 02 03 04 05 06 07 08") << "serial number";
    EXPECT_EQ(to_hex(&image[84], 4), "1b 53 01 00") << "settings, one wrong PIN";
    EXPECT_EQ(to_hex(&image[96], 16), "03 00 00 00 00 00 00 00 28 00 00 00 00 00 00 00");
    EXPECT_EQ(to_hex(&image[112], 16), "03 00 00 00 01 00 00 00 04 00 02 0a 00 00 00 00");
    EXPECT_EQ(to_hex(&image[160], 8), "01 02 03 04 05 06 07 08") << "file 3/1's contents";
    Bytes copy = image;
    seal(copy);
    EXPECT_EQ(copy, image) << "the checksum is the CRC-32 with its own field as zero";
}

TEST_F(Images, RoundTripKeepsTheToken)
{
    ASSERT_EQ(import(5, image), 0u);
    EXPECT_EQ(exported(5), image);
    attach(5);
    EXPECT_EQ(to_hex(cmd(PYXO_CMD_SERIAL_NUMBER, {}, 8)), "01 02 03 04 05 06 07 08");
    ASSERT_EQ(verify_key(), 0);
    ASSERT_EQ(verify_pin(), 0);
    ASSERT_EQ(select(3, 1).size(), 4u);
    EXPECT_EQ(to_hex(read(0, 4)), "01 02 03 04 05 06 07 08");
    ASSERT_EQ(select(3, 2).size(), 4u);
    EXPECT_EQ(status(PYXO_CMD_DECREMENT), 0);
    EXPECT_EQ(to_hex(read(0, 2)), "04 00 00 00");
    EXPECT_EQ(to_hex(dir(0, 2)), "00 00 00 00 02 00 01 80 08 00 09 00 00 00");
}

TEST_F(Images, KeptWrongTriesCountTowardsTheLimit)
{
    ASSERT_EQ(import(5, image), 0u);
    attach(5);
    EXPECT_EQ(verify_pin(0xBAD), 1);
    EXPECT_EQ(verify_pin(0xBAD), 1);
    EXPECT_EQ(verify_pin(), 5) << "1 kept and 2 new wrong tries reach the limit of 3";
}

TEST_F(Images, ImportStartsWithoutSessionOrAttachment)
{
    ASSERT_EQ(import(0, image), 0u);
    EXPECT_EQ(driver.control(handle, kIoctlCommand, command_block(1, PYXO_CMD_SERIAL_NUMBER, {}), 8)
                  .error,
              VTD_ERROR_ACCESS_DENIED);
    attach(0);
    EXPECT_EQ(to_hex(read(0, 1)), "03");
    EXPECT_EQ(create_dir(8, 4), 1);
}

TEST_F(Images, TruncatedAtEveryLengthIsRefused)
{
    for (size_t n = 0; n < image.size(); n++)
        ASSERT_EQ(vtd_check_image(image.data(), uint32_t(n)), uint32_t(VTD_IMAGE_TRUNCATED)) << n;
    EXPECT_EQ(vtd_check_image(nullptr, 0), uint32_t(VTD_IMAGE_TRUNCATED));
    EXPECT_EQ(vtd_check_image(image.data(), uint32_t(image.size())), 0u);
}

TEST_F(Images, EveryFlippedBitIsRefused)
{
    for (size_t bit = 0; bit < 8 * image.size(); bit++) {
        Bytes damaged = image;
        damaged[bit / 8] ^= uint8_t(1 << bit % 8);
        const uint32_t error = vtd_check_image(damaged.data(), uint32_t(damaged.size()));
        uint32_t expected = VTD_IMAGE_BAD_CHECKSUM;
        if (bit / 8 < 8)
            expected = VTD_IMAGE_BAD_MAGIC;
        else if (bit / 8 < 10)
            expected = VTD_IMAGE_UNKNOWN_VERSION;
        else if (bit / 8 >= 12 && bit / 8 < 16)
            expected =
                get_le32(&damaged[12]) > damaged.size() ? VTD_IMAGE_TRUNCATED : VTD_IMAGE_BAD_SIZE;
        ASSERT_EQ(error, expected) << "bit " << bit;
    }
}

TEST_F(Images, TrailingBytesAndOtherVersionsAreRefused)
{
    Bytes longer = image + hex("00");
    EXPECT_EQ(vtd_check_image(longer.data(), uint32_t(longer.size())),
              uint32_t(VTD_IMAGE_BAD_SIZE));
    for (uint32_t version : {0u, 2u, 0x100u, 0xFFFFu}) {
        Bytes other = image;
        put_le16(&other[8], version);
        seal(other);
        EXPECT_EQ(vtd_check_image(other.data(), uint32_t(other.size())),
                  uint32_t(VTD_IMAGE_UNKNOWN_VERSION))
            << version;
    }
}

// Images with a sound frame and checksum but contents no token can have.
TEST_F(Images, InconsistentContentsAreRefused)
{
    const struct {
        const char *name;
        size_t offset;
        Bytes bytes;
        uint32_t error;
    } cases[] = {
        {"header size", 10, hex("30 00"), VTD_IMAGE_BAD_HEADER},
        {"header reserved", 28, hex("01"), VTD_IMAGE_BAD_HEADER},
        {"entry count", 20, hex("05 00 00 00"), VTD_IMAGE_BAD_HEADER},
        {"entry count huge", 20, hex("ff ff ff ff"), VTD_IMAGE_BAD_HEADER},
        {"data size", 24, hex("1e 00 00 00"), VTD_IMAGE_BAD_HEADER},
        {"descriptor length 7", 32, hex("07"), VTD_IMAGE_BAD_DESCRIPTOR},
        {"descriptor length 33", 32, hex("21"), VTD_IMAGE_BAD_DESCRIPTOR},
        {"model 0x60", 33, hex("60"), VTD_IMAGE_BAD_DESCRIPTOR},
        {"model 0x3f", 33, hex("3f"), VTD_IMAGE_BAD_DESCRIPTOR},
        {"memory 63 words", 36, hex("3f 00"), VTD_IMAGE_BAD_DESCRIPTOR},
        {"byte past the descriptor", 40, hex("01"), VTD_IMAGE_BAD_DESCRIPTOR},
        {"settings bits 7-6", 84, hex("5b"), VTD_IMAGE_BAD_CREDENTIALS},
        {"token reserved", 90, hex("01"), VTD_IMAGE_BAD_CREDENTIALS},
        {"entry type 5", 96 + 10, hex("05"), VTD_IMAGE_BAD_ENTRY},
        {"entry type 1", 96 + 10, hex("01"), VTD_IMAGE_BAD_ENTRY},
        {"directory 0", 96, hex("00"), VTD_IMAGE_BAD_ENTRY},
        {"directory with access", 96 + 11, hex("01"), VTD_IMAGE_BAD_ENTRY},
        {"entry size 0", 112 + 8, hex("00 00"), VTD_IMAGE_BAD_ENTRY},
        {"file 0", 112 + 4, hex("00"), VTD_IMAGE_BAD_ENTRY},
        {"access bits 7-6", 112 + 11, hex("8a"), VTD_IMAGE_BAD_ENTRY},
        {"entry reserved", 112 + 15, hex("01"), VTD_IMAGE_BAD_ENTRY},
        {"duplicate file", 144 + 4, hex("01"), VTD_IMAGE_DUPLICATE_ENTRY},
        {"missing directory", 112, hex("04"), VTD_IMAGE_MISSING_DIRECTORY},
        {"directory too large", 96 + 8, hex("ff 0f"), VTD_IMAGE_OVER_CAPACITY},
        {"directory 3 overfull", 96 + 8, hex("07 00"), VTD_IMAGE_OVER_CAPACITY},
    };
    for (const auto &c : cases) {
        Bytes edited = image;
        std::copy(c.bytes.begin(), c.bytes.end(), edited.begin() + c.offset);
        seal(edited);
        EXPECT_EQ(vtd_check_image(edited.data(), uint32_t(edited.size())), c.error) << c.name;
        EXPECT_EQ(import(1, edited), c.error) << c.name;
    }
    EXPECT_EQ(vtd_remove(driver.get(), 1), 0u);
}

TEST_F(Images, NarrowLimitsApplyToNarrowModels)
{
    const struct {
        const char *name;
        size_t offset;
        Bytes bytes;
        uint32_t error;
    } cases[] = {
        {"narrow model", 33, hex("4f"), 0},
        {"file id above 0xff", 112 + 4, hex("00 01"), VTD_IMAGE_BAD_ENTRY},
        {"directory id above 0xffff", 96 + 2, hex("01"), VTD_IMAGE_BAD_ENTRY},
        {"size above 0x1fff", 96 + 8, hex("00 20"), VTD_IMAGE_BAD_ENTRY},
    };
    for (const auto &c : cases) {
        Bytes edited = image;
        edited[33] = 0x4F;
        std::copy(c.bytes.begin(), c.bytes.end(), edited.begin() + c.offset);
        seal(edited);
        EXPECT_EQ(vtd_check_image(edited.data(), uint32_t(edited.size())), c.error) << c.name;
    }
}

TEST_F(Images, RefusedImportChangesNothing)
{
    const Bytes before = exported(0);
    vtd_take_changed(driver.get());
    Bytes damaged = image;
    damaged[150] ^= 1;
    EXPECT_EQ(import(0, damaged), uint32_t(VTD_IMAGE_BAD_CHECKSUM));
    EXPECT_EQ(exported(0), before);
    EXPECT_EQ(vtd_take_changed(driver.get()), 0u);
    EXPECT_EQ(to_hex(cmd(PYXO_CMD_SERIAL_NUMBER, {}, 8)), "01 02 03 04 05 06 07 08")
        << "still attached";
    EXPECT_EQ(import(8, image), uint32_t(VTD_IMAGE_BAD_POSITION));
    EXPECT_EQ(import(0, image), 0u);
    EXPECT_EQ(vtd_take_changed(driver.get()), 1u);
}

// Random edits of a sealed image: refused or accepted, never a crash or a
// read out of bounds (the sanitizers watch); an accepted one exports back
// byte for byte.
TEST_F(Images, RandomEditsAreJudgedSafely)
{
    std::mt19937 random(1234);
    int accepted = 0;
    for (int round = 0; round < 3000; round++) {
        Bytes edited = image;
        const int edits = 1 + int(random() % 4);
        for (int e = 0; e < edits; e++)
            edited[32 + random() % (edited.size() - 32)] = uint8_t(random());
        seal(edited);
        if (import(2, edited) == 0) {
            accepted++;
            EXPECT_EQ(exported(2), edited);
        }
    }
    EXPECT_GT(accepted, 0) << "edits of file contents are sound images";
}

TEST_F(Images, ErrorTextsNameEachError)
{
    std::set<std::string> texts;
    for (uint32_t e = 0; e <= VTD_IMAGE_BAD_POSITION; e++)
        texts.insert(vtd_image_error_text(e));
    EXPECT_EQ(texts.size(), size_t(VTD_IMAGE_BAD_POSITION) + 1);
    EXPECT_STREQ(vtd_image_error_text(VTD_IMAGE_BAD_CHECKSUM), "damaged: checksum mismatch");
    EXPECT_STREQ(vtd_image_error_text(999), "unknown image error");
}

TEST_F(Images, LargestTokenFitsTheLargestImage)
{
    const vtd_token_params p = token_params(kWide, 0xFFFF);
    ASSERT_EQ(vtd_new_token(driver.get(), 6, &p), 0u);
    attach(6);
    ASSERT_EQ(verify_pin(), 0);
    // 255 files of 1 word and one with what is left: 256 entries, and
    // every word of directory 0 taken.
    for (uint32_t i = 1; i < 256; i++)
        ASSERT_EQ(create_file(0, i, 2, 0, 1), 0) << i;
    const uint32_t left = 0xFFFF - 3 - 255 * 5 - 4;
    ASSERT_EQ(create_file(0, 256, 2, 0, left), 0);
    const Bytes big = exported(6);
    EXPECT_EQ(big.size(), 96u + 256 * 16 + 2 * (255 + left));
    EXPECT_LE(big.size(), vtd_max_image_size());
    EXPECT_LE(vtd_max_image_size(), 1u << 20) << "an image fits a 1 MiB frame";
    EXPECT_EQ(import(7, big), 0u);
}

} // namespace
} // namespace vuxa_test
