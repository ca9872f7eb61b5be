// The virtual token commands: the management controls they send, what
// they print, image files, and how the driver's refusals read.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <memory>

#include "support/hex.h"
#include "support/scripted_driver.h"
#include "tool.h"
#include "vtd.h"
#include "vtd_client.h"
#include "vtd_manage.h"

namespace pyxo_test {
namespace {

using vuxa_test::DriverReply;
using vuxa_test::hex;
using Bytes = std::vector<uint8_t>;

constexpr uint32_t kIoctlAttach = 0x220404;
constexpr uint32_t kIoctlCommand = 0x22040C;

// The token of an image, in a driver core of its own, to look into.
class ImageToken {
public:
    explicit ImageToken(const Bytes &image)
    {
        memory_ = std::make_unique<uint64_t[]>((vtd_driver_size() + 7) / 8);
        core_ = reinterpret_cast<vtd_driver *>(memory_.get());
        vtd_driver_init(core_, [](void *, uint8_t *out, size_t n) { std::memset(out, 7, n); },
                        nullptr);
        loaded = vtd_import_image(core_, 0, image.data(), uint32_t(image.size())) == 0;
        vtd_open_handle(core_, &handle_);
    }

    // The list record of position 0.
    Bytes record()
    {
        Bytes out(VTD_LIST_HEADER_SIZE + VTD_POSITIONS * VTD_LIST_RECORD_SIZE);
        uint32_t n = 0;
        vtd_control(core_, handle_, VTD_IOCTL_LIST, nullptr, 0, out.data(), uint32_t(out.size()),
                    &n);
        return Bytes(out.begin() + 4, out.begin() + 4 + VTD_LIST_RECORD_SIZE);
    }

    // The status byte of verifying a PIN.
    uint8_t verify_pin(uint32_t pin)
    {
        Bytes attach(48, 0), block(272, 0), out(1);
        uint32_t n = 0;
        vtd_control(core_, handle_, kIoctlAttach, attach.data(), 48, attach.data(), 48, &n);
        block[0] = 1; // position 0 + 1
        std::memcpy(&block[8], &pin, 4);
        block[12] = 0x0E;
        block[13] = 0x01;
        vtd_control(core_, handle_, kIoctlCommand, block.data(), 272, out.data(), 1, &n);
        return out[0];
    }

    bool loaded = false;

private:
    std::unique_ptr<uint64_t[]> memory_;
    vtd_driver *core_ = nullptr;
    uint32_t handle_ = 0;
};

Bytes record(uint8_t kind, uint8_t attached, const Bytes &rest)
{
    Bytes r(VTD_LIST_RECORD_SIZE, 0);
    r[VTD_LIST_KIND] = kind;
    r[VTD_LIST_ATTACHED] = attached;
    std::copy(rest.begin(), rest.end(), r.begin() + 2);
    return r;
}

TEST(VtList, ShowsEveryPosition)
{
    vuxa_test::ScriptedDriver driver;
    using vuxa_test::operator+;
    Bytes list = hex("08 00 00 00") +
                 record(1, 0,
                        hex("01 00  a1 a2 a3 a4 a5 a6 a7 a8  d2 04 00 00"
                            "08 50 01 10 00 10 03 0a")) +
                 record(2, 1, hex("00 00  00 00 00 00 00 00 00 00  00 00 00 00  07 60 01 02")) +
                 record(1, 1,
                        hex("00 00  01 02 03 04 05 06 07 08  00 01 00 00"
                            "08 4f 01 10 00 04 03 0a"));
    list.resize(4 + 8 * VTD_LIST_RECORD_SIZE, 0);
    driver.script(VTD_IOCTL_LIST, DriverReply::bytes(list));
    const ToolResult r = run_tool({"vt", "list"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "POSITION  KIND    ATTACHED  MODEL  MEMORY  LED     SERIAL            IMAGE\n"
                     "0         token   no        0x50   8192    0x1     a1a2a3a4a5a6a7a8  1234\n"
                     "1         device  yes       descriptor 07600102000000\n"
                     "2         token   yes       0x4f   2048    0x0     0102030405060708  256\n"
                     "3         empty\n"
                     "4         empty\n"
                     "5         empty\n"
                     "6         empty\n"
                     "7         empty\n");
}

TEST(VtInsert, SendsANewTokenOfTheMakeAsked)
{
    vuxa_test::ScriptedDriver driver;
    driver.script(VTD_IOCTL_INSERT_TOKEN, DriverReply::empty());
    const ToolResult r = run_tool({"vt", "insert", "2", "--replace", "--model", "0x4f", "--memory",
                                   "2048", "--serial", "0102030405060708", "--pin", "99"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "position 2: new token, serial 0102030405060708\n");
    const auto requests = driver.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].code, VTD_IOCTL_INSERT_TOKEN);
    const Bytes &in = requests[0].input;
    ASSERT_GT(in.size(), 8u);
    EXPECT_EQ(Bytes(in.begin(), in.begin() + 8), hex("02 00 00 00 01 00 00 00"));
    ImageToken token(Bytes(in.begin() + 8, in.end()));
    ASSERT_TRUE(token.loaded);
    const Bytes rec = token.record();
    EXPECT_EQ(Bytes(rec.begin() + 4, rec.begin() + 12), hex("01 02 03 04 05 06 07 08"));
    EXPECT_EQ(Bytes(rec.begin() + 16, rec.begin() + 22), hex("08 4f 01 10 00 04"));
    EXPECT_EQ(token.verify_pin(99), 0);
}

TEST(VtNew, WritesAPrivateImageFileWithVuxadsDefaults)
{
    vuxa_test::ScriptedDriver driver; // not asked: no driver is needed
    TempDir dir;
    const std::string path = dir.file("token.img");
    const ToolResult r = run_tool({"vt", "new", path, "--serial", "a1a2a3a4a5a6a7a8"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, path + ": new token, serial a1a2a3a4a5a6a7a8\n");
    EXPECT_TRUE(driver.requests().empty());
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    const std::string text = read_text_file(path);
    ImageToken token(Bytes(text.begin(), text.end()));
    ASSERT_TRUE(token.loaded);
    const Bytes rec = token.record();
    EXPECT_EQ(Bytes(rec.begin() + 16, rec.begin() + 22), hex("08 50 01 10 00 10"));
    EXPECT_EQ(token.verify_pin(1234), 0);

    const ToolResult again = run_tool({"vt", "new", path});
    EXPECT_EQ(again.exit_code, 5);
    EXPECT_EQ(again.err, "pyxo: vt new: " + path + ": exists already (add --replace)\n");
    EXPECT_EQ(run_tool({"vt", "new", path, "--replace"}).exit_code, 0);
}

TEST(VtImportExport, CarryImageFilesBothWays)
{
    vuxa_test::ScriptedDriver driver;
    TempDir dir;
    vtd_client::TokenOptions make;
    const Bytes image = vtd_client::new_token_image(make);
    ASSERT_FALSE(image.empty());
    driver.script(VTD_IOCTL_EXPORT, DriverReply::bytes(image));
    driver.script(VTD_IOCTL_INSERT_TOKEN, DriverReply::empty());
    const std::string path = dir.file("saved.img");
    const ToolResult exported = run_tool({"vt", "export", "3", path});
    EXPECT_EQ(exported.exit_code, 0) << exported.err;
    EXPECT_EQ(read_text_file(path), std::string(image.begin(), image.end()));

    const ToolResult imported = run_tool({"vt", "import", "5", path});
    EXPECT_EQ(imported.exit_code, 0) << imported.err;
    const auto requests = driver.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].code, VTD_IOCTL_EXPORT);
    EXPECT_EQ(requests[0].input, hex("03 00 00 00"));
    EXPECT_EQ(requests[1].code, VTD_IOCTL_INSERT_TOKEN);
    using vuxa_test::operator+;
    EXPECT_EQ(requests[1].input, hex("05 00 00 00 00 00 00 00") + image);
}

TEST(VtImport, RefusesADamagedImageWithoutSendingIt)
{
    vuxa_test::ScriptedDriver driver;
    TempDir dir;
    Bytes image = vtd_client::new_token_image(vtd_client::TokenOptions{});
    image[image.size() / 2] ^= 1;
    write_text_file(dir.file("bad.img"), std::string(image.begin(), image.end()));
    const ToolResult r = run_tool({"vt", "import", "0", dir.file("bad.img")});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.err, "pyxo: vt import: " + dir.file("bad.img") + ": not a usable token image: " +
                         vtd_client::image_problem(image) + "\n");
    EXPECT_TRUE(driver.requests().empty());
}

struct DriverRefusal {
    std::vector<std::string> args;
    uint32_t code;
    uint32_t error;
    std::string err;
};

void PrintTo(const DriverRefusal &c, std::ostream *os)
{
    *os << command_line(c.args);
}

const DriverRefusal kDriverRefusals[] = {
    {{"vt", "insert", "1"}, VTD_IOCTL_INSERT_TOKEN, 183,
     "pyxo: vt insert: inserting a token at position 1: ERROR_ALREADY_EXISTS (183): the position "
     "is occupied (add --replace)\n"},
    {{"vt", "remove", "4"}, VTD_IOCTL_REMOVE, 1167,
     "pyxo: vt remove: removing the device at position 4: ERROR_DEVICE_NOT_CONNECTED (1167): the "
     "position is empty\n"},
    {{"vt", "export", "2", "/nonexistent/x.img"}, VTD_IOCTL_EXPORT, 50,
     "pyxo: vt export: exporting the token at position 2: ERROR_NOT_SUPPORTED (50): the device at "
     "that position is no virtual token\n"},
    {{"vt", "list"}, VTD_IOCTL_LIST, 1,
     "pyxo: vt list: listing the positions: ERROR_INVALID_FUNCTION (1): the driver does not know "
     "this control: is it the virtual token driver?\n"},
};

class VtRefusals : public ::testing::TestWithParam<DriverRefusal> {};

TEST_P(VtRefusals, NameTheSystemError)
{
    vuxa_test::ScriptedDriver driver;
    const DriverRefusal &c = GetParam();
    driver.script(c.code, DriverReply::fail(c.error));
    const ToolResult r = run_tool(c.args);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.err, c.err);
}

INSTANTIATE_TEST_SUITE_P(Cases, VtRefusals, ::testing::ValuesIn(kDriverRefusals));

struct VtUsage {
    std::vector<std::string> args;
    std::string err;
};

void PrintTo(const VtUsage &c, std::ostream *os)
{
    *os << command_line(c.args);
}

const VtUsage kVtUsage[] = {
    {{"vt"}, "pyxo: 'vt' needs one of: list insert new import export remove\n"},
    {{"vt", "remove", "8"}, "pyxo: vt remove: POSITION: '8' is above 7\n"},
    {{"vt", "list", "--token", "1"},
     "pyxo: vt list: --token, --pin and --master-key do not apply to vt list\n"},
    {{"vt", "insert", "0", "--model", "0x3f"}, "pyxo: vt insert: --model: from 0x40 to 0x5F\n"},
    {{"vt", "insert", "0", "--memory", "127"},
     "pyxo: vt insert: --memory: an even number of bytes from 128 to 131070\n"},
    {{"vt", "insert", "0", "--settings", "c000"},
     "pyxo: vt insert: --settings: bits 7-6 of the first byte must be 0\n"},
    {{"vt", "import", "0", "--replace"},
     "pyxo: vt import: missing arguments; usage: pyxo vt import POSITION IMAGE\n"},
};

class VtUsageTest : public ::testing::TestWithParam<VtUsage> {};

TEST_P(VtUsageTest, IsAMistakeOnTheCommandLine)
{
    vuxa_test::ScriptedDriver driver;
    const ToolResult r = run_tool(GetParam().args);
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.err, GetParam().err);
    EXPECT_TRUE(driver.requests().empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, VtUsageTest, ::testing::ValuesIn(kVtUsage));

TEST(VtNoDriver, ExitsWith3)
{
    vuxa_test::ScriptedDriver driver;
    driver.remove_socket();
    const ToolResult r = run_tool({"vt", "list"});
    EXPECT_EQ(r.exit_code, 3);
    EXPECT_EQ(r.err, "pyxo: vt list: cannot open the token driver: ERROR_FILE_NOT_FOUND (2): the "
                     "token driver cannot be reached: is it installed, or vuxad running?\n");
}

} // namespace
} // namespace pyxo_test
