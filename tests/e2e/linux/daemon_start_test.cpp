// vuxad's start and stop: images refused with a clear message, unsafe
// socket directories refused, clean stops, stale sockets.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>

#include "raw_client.h"
#include "vuxad_process.h"

namespace e2e {
namespace {

std::vector<uint8_t> read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_file(const std::string &path, const std::vector<uint8_t> &bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
}

bool exited_with(int status, int code)
{
    return WIFEXITED(status) && WEXITSTATUS(status) == code;
}

// A valid image made by vuxad itself.
std::vector<uint8_t> fresh_image(const ScratchDir &dir)
{
    std::string path = dir.path("fresh.img");
    std::string log;
    int status = run_vuxad({"--create-only", "--new", path}, &log);
    EXPECT_TRUE(exited_with(status, 0)) << log;
    std::vector<uint8_t> image = read_file(path);
    std::filesystem::remove(path);
    return image;
}

TEST(DaemonStart, DamagedImagesAreRefusedNamingTheFile)
{
    ScratchDir dir;
    const std::vector<uint8_t> good = fresh_image(dir);
    ASSERT_GT(good.size(), 64u);
    struct Case {
        const char *name;
        std::vector<uint8_t> bytes;
    };
    std::vector<Case> cases = {
        {"empty", {}},
        {"first half", {good.begin(), good.begin() + std::ptrdiff_t(good.size() / 2)}},
        {"last byte missing", {good.begin(), good.end() - 1}},
        {"one byte too many", good},
        {"text", {'h', 'e', 'l', 'l', 'o', '\n'}},
    };
    cases[3].bytes.push_back(0);
    for (size_t at : {size_t(0), size_t(5), good.size() / 2, good.size() - 1}) {
        cases.push_back({"one bit flipped", good});
        cases.back().bytes[at] ^= 0x10;
    }
    for (const Case &c : cases) {
        std::string path = dir.path("damaged.img");
        write_file(path, c.bytes);
        std::string log;
        int status = run_vuxad({"--dir", dir.path("sockets"), path}, &log);
        EXPECT_TRUE(exited_with(status, 1)) << c.name << ": status " << status << "\n" << log;
        EXPECT_NE(log.find(path), std::string::npos) << c.name << ": " << log;
        EXPECT_FALSE(std::filesystem::exists(dir.path("sockets/VUXADRVR"))) << c.name;
    }
}

TEST(DaemonStart, MissingImageAndExistingNewFileAreRefused)
{
    ScratchDir dir;
    std::string log;
    std::string missing = dir.path("missing.img");
    EXPECT_TRUE(exited_with(run_vuxad({"--dir", dir.path("s"), missing}, &log), 1)) << log;
    EXPECT_NE(log.find(missing), std::string::npos) << log;

    std::string existing = dir.path("existing.img");
    write_file(existing, {1, 2, 3});
    EXPECT_TRUE(exited_with(run_vuxad({"--dir", dir.path("s"), "--new", existing}, &log), 1));
    EXPECT_NE(log.find(existing), std::string::npos) << log;
    EXPECT_EQ(read_file(existing), (std::vector<uint8_t>{1, 2, 3}));
}

TEST(DaemonStart, MoreImagesThanPositionsAreRefused)
{
    ScratchDir dir;
    std::vector<std::string> args{"--dir", dir.path("s")};
    for (int i = 0; i < 9; ++i) {
        args.push_back("--new");
        args.push_back(dir.path("t" + std::to_string(i) + ".img"));
    }
    std::string log;
    EXPECT_TRUE(exited_with(run_vuxad(args, &log), 1)) << log;
    EXPECT_NE(log.find("at most 8"), std::string::npos) << log;
    EXPECT_FALSE(std::filesystem::exists(dir.path("t0.img"))) << "nothing made before refusing";
}

TEST(DaemonStart, UsageErrorsExitWith2)
{
    std::string log;
    EXPECT_TRUE(exited_with(run_vuxad({"--model", "0x99", "--new", "x.img"}, &log), 2)) << log;
    EXPECT_NE(log.find("usage:"), std::string::npos);
}

TEST(DaemonStart, DirectoryOthersCanWriteToIsRefused)
{
    ScratchDir dir;
    std::string sockets = dir.path("shared");
    ASSERT_EQ(mkdir(sockets.c_str(), 0700), 0);
    ASSERT_EQ(chmod(sockets.c_str(), 0777), 0);
    std::string log;
    int status = run_vuxad({"--dir", sockets, "--new", dir.path("t.img")}, &log);
    EXPECT_TRUE(exited_with(status, 1)) << log;
    EXPECT_NE(log.find(sockets), std::string::npos) << log;
    EXPECT_NE(log.find("other users can write"), std::string::npos) << log;
    EXPECT_FALSE(std::filesystem::exists(sockets + "/VUXADRVR"));
}

TEST(DaemonStart, StopSignalsRemoveTheSocket)
{
    for (int signal : {SIGTERM, SIGINT}) {
        ScratchDir dir;
        VuxadProcess daemon(dir);
        ASSERT_TRUE(daemon.start({"--new", dir.path("t.img")})) << daemon.log();
        RawClient client(daemon.socket_path()); // an open connection does not hold it up
        ASSERT_TRUE(client.connected());
        EXPECT_TRUE(exited_with(daemon.stop(signal), 0)) << daemon.log();
        EXPECT_FALSE(std::filesystem::exists(daemon.socket_path()));
        EXPECT_TRUE(client.closed_by_peer());
    }
}

TEST(DaemonStart, StaleSocketIsReplacedButALiveOneIsNot)
{
    ScratchDir dir;
    VuxadProcess first(dir);
    ASSERT_TRUE(first.start({"--new", dir.path("t.img")})) << first.log();
    first.stop(SIGKILL);
    ASSERT_TRUE(std::filesystem::exists(first.socket_path())) << "SIGKILL leaves the socket";

    VuxadProcess second(dir);
    ASSERT_TRUE(second.start({dir.path("t.img")})) << second.log();

    std::string log;
    int status = run_vuxad({"--dir", second.socket_dir(), dir.path("t.img")}, &log);
    EXPECT_TRUE(exited_with(status, 1)) << log;
    EXPECT_NE(log.find("already serving"), std::string::npos) << log;
    RawClient client(second.socket_path());
    EXPECT_TRUE(client.call(kGetVersion, {}, 4)) << "the first daemon lost its socket";
}

} // namespace
} // namespace e2e
