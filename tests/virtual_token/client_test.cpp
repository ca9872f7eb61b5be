// The management client: fresh images from the token builder (checked
// by hashing with them on the core against the host's HMAC and CHAP), and
// management requests as they reach the driver.
#include <cstring>

#include "device/token_commands.h"
#include "pyxo.h"
#include "support/scripted_driver.h"
#include "util/bytes.h"
#include "vtd_client.h"
#include "vtd_fixture.h"

namespace vuxa_test {
namespace {

constexpr uint32_t kIv[4] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476};

vtd_client::TokenOptions make_options(uint8_t model)
{
    vtd_client::TokenOptions s;
    s.model = model;
    s.random_serial = false;
    s.serial = {9, 8, 7, 6, 5, 4, 3, 2};
    s.pin = kTestPin;
    std::memcpy(s.master_key.data(), kTestKey.data(), 8);
    return s;
}

class Builder : public TokenTest, public ::testing::WithParamInterface<uint8_t> {
protected:
    void load(const Bytes &image)
    {
        ASSERT_EQ(vtd_check_image(image.data(), uint32_t(image.size())), 0u)
            << vtd_client::image_problem(image);
        ASSERT_EQ(vtd_import_image(driver.get(), 0, image.data(), uint32_t(image.size())), 0u);
        handle = driver.open();
        wide = GetParam() >= 0x50;
        attach(0);
    }
};

INSTANTIATE_TEST_SUITE_P(Widths, Builder, ::testing::Values(kWide, kNarrow),
                         [](const auto &info) { return info.param == kWide ? "Wide" : "Narrow"; });

TEST_P(Builder, FreshImageHasTheOptionsAndAnEmptyFileSystem)
{
    const Bytes image = vtd_client::new_token_image(make_options(GetParam()));
    load(image);
    EXPECT_EQ(to_hex(cmd(PYXO_CMD_SERIAL_NUMBER, {}, 8)), "09 08 07 06 05 04 03 02");
    EXPECT_EQ(to_hex(cmd(PYXO_CMD_GET_ACCESS_SETTINGS, {}, 2)), "1a 53");
    EXPECT_EQ(to_hex(dir(0, 1)), "02");
    EXPECT_EQ(verify_pin(), 0);
    EXPECT_EQ(create_dir(1, 2), 1) << "the file system needs the master key";
    EXPECT_EQ(verify_key(), 0);
}

TEST_P(Builder, RandomSerialNumbersDiffer)
{
    vtd_client::TokenOptions s = make_options(GetParam());
    s.random_serial = true;
    const Bytes a = vtd_client::new_token_image(s), b = vtd_client::new_token_image(s);
    EXPECT_NE(Bytes(a.begin() + 64, a.begin() + 72), Bytes(b.begin() + 64, b.begin() + 72));
}

// Key files the builder writes from HMAC_MD5's states give the host's
// HMAC on the token; the secret file gives the host's CHAP.
TEST_P(Builder, KeyFilesGiveTheHostsHmacAndChap)
{
    const Bytes key = hex("0b 0b 0b 0b 0b 0b 0b 0b 0b 0b 0b 0b 0b 0b 0b 0b");
    const Bytes text = {'H', 'i', ' ', 'T', 'h', 'e', 'r', 'e'};
    uint8_t inner[16], outer[16], mac[16];
    HMAC_MD5(text.data(), uint32_t(text.size()), key.data(), int32_t(key.size()), inner, outer,
             mac);
    const Bytes secret = {'s', 'e', 'c', 'r', 'e', 't'};

    vtd_client::TokenBuilder builder(make_options(GetParam()));
    builder.dir(5, 200)
        .hmac_key_file(5, 1, inner)
        .hmac_key_file(5, 2, outer, 1, 2)
        .chap_secret_file(5, 3, secret);
    ASSERT_EQ(builder.status(), 0u);
    load(builder.image());

    Bytes block = text + Bytes{0x80} + zeros(64 - text.size() - 1);
    put_le32(&block[56], uint32_t(512 + 8 * text.size()));
    ASSERT_EQ(select(5, 1).size(), 4u);
    Bytes inner_hash = cmd(PYXO_CMD_HASH_KEYED, zeros(16) + block, 16);
    ASSERT_EQ(inner_hash.size(), 16u);
    ASSERT_EQ(verify_pin(), 0); // the outer file's use condition
    ASSERT_EQ(select(5, 2).size(), 4u);
    block = inner_hash + Bytes{0x80} + zeros(47);
    put_le32(&block[56], 640);
    EXPECT_EQ(to_hex(cmd(PYXO_CMD_HASH_KEYED, zeros(16) + block, 16)), to_hex(mac, 16));
    EXPECT_EQ(to_hex(mac, 16), "92 94 72 7a 36 38 bb 1c 13 f4 8e f8 15 8b fc 9d") << "RFC 2104";
    EXPECT_EQ(to_hex(read(0, 1)), "01") << "key files are never read";

    const Bytes challenge = hex("10 20 30 40 50");
    Bytes chap = Bytes{0x21, 5} + challenge + Bytes{0x80};
    chap.resize(64, 0);
    Bytes iv(16);
    for (int i = 0; i < 4; i++)
        put_le32(&iv[4 * i], kIv[i]);
    ASSERT_EQ(select(5, 3).size(), 4u);
    const Bytes answer = cmd(PYXO_CMD_HASH_CHAP, iv + chap, 16);
    ASSERT_EQ(answer.size(), 16u);
    uint8_t expected[16];
    CHAP_MD5(0x21, secret.data(), uint32_t(secret.size()), challenge.data(),
             uint32_t(challenge.size()), expected);
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(get_le32(&answer[4 * i]) + kIv[i], get_le32(&expected[4 * i]));
}

TEST_P(Builder, RefusalsStopTheBuild)
{
    vtd_client::TokenBuilder builder(make_options(GetParam()));
    builder.dir(5, 20).dir(5, 20).file(5, 1, 2, 0, 0, 4);
    EXPECT_EQ(builder.status(), 4u) << "the second directory 5 exists";
    EXPECT_EQ(to_hex(builder.image().data() + 20, 4), "01 00 00 00") << "one entry made";
    vtd_client::TokenOptions bad = make_options(GetParam());
    bad.memory_words = 10;
    EXPECT_EQ(vtd_client::TokenBuilder(bad).status(), uint32_t(VTD_IMAGE_BAD_DESCRIPTOR));
    EXPECT_TRUE(vtd_client::new_token_image(bad).empty());
}

TEST(ImageProblem, NamesWhatIsWrong)
{
    Bytes image = vtd_client::new_token_image(make_options(kWide));
    EXPECT_EQ(vtd_client::image_problem(image), "");
    image.pop_back();
    EXPECT_EQ(vtd_client::image_problem(image),
              "truncated: shorter than its header or its stated size");
    EXPECT_EQ(vtd_client::image_problem({}),
              "truncated: shorter than its header or its stated size");
}

// Management requests through the platform calls, as the driver receives
// them.
TEST(Connection, RequestsReachTheDriverAsLaidOut)
{
    ScriptedDriver scripted;
    Bytes listing = hex("08 00 00 00") + zeros(8 * 48);
    listing[4 + 48 * 3] = VTD_KIND_TOKEN;
    listing[4 + 48 * 3 + 4] = 0xAB;
    scripted.script(VTD_IOCTL_LIST, DriverReply::bytes(listing));
    scripted.script(VTD_IOCTL_REMOVE, DriverReply::fail(VTD_ERROR_DEVICE_NOT_CONNECTED));

    vtd_client::Connection connection;
    ASSERT_EQ(connection.error(), 0u);
    std::vector<vtd_client::PositionInfo> positions;
    ASSERT_EQ(connection.list(positions), 0u);
    ASSERT_EQ(positions.size(), 8u);
    EXPECT_EQ(positions[3].kind, VTD_KIND_TOKEN);
    EXPECT_EQ(positions[3].serial[0], 0xAB);

    const Bytes image = vtd_client::new_token_image(make_options(kWide));
    scripted.script(VTD_IOCTL_INSERT_TOKEN, DriverReply::empty());
    EXPECT_EQ(connection.insert_token(6, image, true), 0u);
    Bytes damaged = image;
    damaged[40] ^= 1;
    EXPECT_EQ(connection.insert_token(6, damaged), VTD_ERROR_INVALID_DATA) << "refused unsent";
    EXPECT_EQ(connection.remove(2), VTD_ERROR_DEVICE_NOT_CONNECTED);

    const auto requests = scripted.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].code, uint32_t(VTD_IOCTL_LIST));
    EXPECT_EQ(requests[0].out_size, 388u);
    EXPECT_EQ(requests[1].code, uint32_t(VTD_IOCTL_INSERT_TOKEN));
    EXPECT_EQ(requests[1].input, hex("06 00 00 00 01 00 00 00") + image);
    EXPECT_EQ(requests[2].input, hex("02 00 00 00"));
}

} // namespace
} // namespace vuxa_test
