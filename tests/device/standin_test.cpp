// The stand-in of the four kernel services: device paths, error codes,
// frames, limits, and how it survives a driver that misbehaves.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "device/driver_interface.h"
#include "platform/platform.h"
#include "support/hex.h"
#include "support/scripted_driver.h"

namespace vuxa_test {
namespace {

constexpr uint32_t kMagic = 0x31445856;
constexpr uint32_t kProbeCode = 0x220400; // the version query: answered by default
const char kDriverPath[] = "\\\\.\\VUXADRVR";

HANDLE open_path(const char *path)
{
    return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, 0, nullptr);
}

// A listening socket at a path; connecting to it succeeds (the kernel
// queues the connection) whether or not anyone accepts.
struct Listener {
    explicit Listener(const std::string &path) : path_(path)
    {
        fd_ = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
        EXPECT_EQ(bind(fd_, reinterpret_cast<sockaddr *>(&address), sizeof address), 0) << path;
        EXPECT_EQ(listen(fd_, 8), 0);
    }
    ~Listener()
    {
        close(fd_);
        unlink(path_.c_str());
    }
    std::string path_;
    int fd_;
};

// One version query; true when it succeeded with the 4 bytes.
bool probe(HANDLE handle)
{
    uint8_t out[4];
    DWORD count = 0;
    return DeviceIoControl(handle, kProbeCode, nullptr, 0, out, 4, &count, nullptr) && count == 4;
}

// Restores an environment variable when the test ends.
struct SavedEnv {
    explicit SavedEnv(const char *name) : name_(name)
    {
        if (const char *value = std::getenv(name)) {
            had_ = true;
            value_ = value;
        }
    }
    ~SavedEnv()
    {
        if (had_)
            setenv(name_, value_.c_str(), 1);
        else
            unsetenv(name_);
    }
    const char *name_;
    bool had_ = false;
    std::string value_;
};

// ---------------------------------------------------------- device paths

struct PathCase {
    const char *path;
    bool opens;
};

const std::string kName64(64, 'n');
const std::string kName65(65, 'n');

class DevicePath : public ::testing::TestWithParam<PathCase> {};

TEST_P(DevicePath, MapsOnlyTheDeviceForm)
{
    ScriptedDriver driver;
    Listener other(driver.directory() + "/Ab_9-z");
    Listener longest(driver.directory() + "/" + kName64);
    Listener too_long(driver.directory() + "/" + kName65);
    Listener dotted(driver.directory() + "/a.b");

    const PathCase &c = GetParam();
    HANDLE handle = open_path(c.path);
    if (c.opens) {
        EXPECT_NE(handle, INVALID_HANDLE_VALUE) << c.path;
        EXPECT_NE(handle, nullptr);
        EXPECT_TRUE(CloseHandle(handle));
    } else {
        EXPECT_EQ(handle, INVALID_HANDLE_VALUE) << c.path;
        EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND) << c.path;
    }
}

const std::string kPath64 = "\\\\.\\" + kName64;
const std::string kPath65 = "\\\\.\\" + kName65;

INSTANTIATE_TEST_SUITE_P(
    StandIn, DevicePath,
    ::testing::Values(PathCase{"\\\\.\\VUXADRVR", true}, PathCase{"\\\\.\\Ab_9-z", true},
                      PathCase{kPath64.c_str(), true}, PathCase{kPath65.c_str(), false},
                      PathCase{"\\\\.\\", false}, PathCase{"VUXADRVR", false},
                      PathCase{"\\\\?\\VUXADRVR", false}, PathCase{"//./VUXADRVR", false},
                      PathCase{"\\\\.\\VUXADRVR\\", false}, PathCase{"\\\\.\\a.b", false},
                      PathCase{"\\\\.\\vuxadrvr", false}, PathCase{"\\\\.\\VUXA DRVR", false},
                      PathCase{"\\\\.\\..", false}, PathCase{"\\\\.\\/VUXADRVR", false},
                      PathCase{"\\\\.\\VUXADRVR/", false}, PathCase{"", false}));

TEST(StandIn, NullPathIsNotFound)
{
    EXPECT_EQ(open_path(nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST(StandIn, DirectoryFallsBackToTheRuntimeDirectory)
{
    SavedEnv device_dir("VUXA_DEVICE_DIR");
    SavedEnv runtime_dir("XDG_RUNTIME_DIR");
    char base[] = "/tmp/vuxa-xdg-XXXXXX";
    ASSERT_NE(mkdtemp(base), nullptr);
    const std::string dir = std::string(base) + "/vuxa";
    ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
    {
        Listener listener(dir + "/XDGDEV");
        setenv("XDG_RUNTIME_DIR", base, 1);
        setenv("VUXA_DEVICE_DIR", "", 1); // empty counts as not set
        HANDLE handle = open_path("\\\\.\\XDGDEV");
        EXPECT_NE(handle, INVALID_HANDLE_VALUE);
        CloseHandle(handle);
        unsetenv("VUXA_DEVICE_DIR");
        handle = open_path("\\\\.\\XDGDEV");
        EXPECT_NE(handle, INVALID_HANDLE_VALUE);
        CloseHandle(handle);
        // VUXA_DEVICE_DIR, when set, wins.
        setenv("VUXA_DEVICE_DIR", base, 1);
        EXPECT_EQ(open_path("\\\\.\\XDGDEV"), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    }
    rmdir(dir.c_str());
    rmdir(base);
}

// ------------------------------------------------------ opening failures

TEST(StandIn, MissingSocketIsNotFound)
{
    ScriptedDriver driver;
    driver.remove_socket();
    EXPECT_EQ(open_path(kDriverPath), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST(StandIn, SocketNobodyServesIsNotFound)
{
    ScriptedDriver driver;
    const std::string path = driver.directory() + "/STALE";
    {
        Listener gone(path);
        close(gone.fd_);
        gone.fd_ = -1;
        gone.path_ = ""; // keep the file: a socket left behind by a dead driver
    }
    EXPECT_EQ(open_path("\\\\.\\STALE"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    unlink(path.c_str());
}

TEST(StandIn, SocketRefusedForPermissionsIsAccessDenied)
{
    ScriptedDriver driver;
    ASSERT_EQ(chmod(driver.socket_path().c_str(), 0), 0);
    // Root passes permission checks: the attempt runs in a child that has
    // given up root (the socket's directory is private to its owner).
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && setuid(65534) != 0)
            _exit(100);
        const HANDLE handle = open_path(kDriverPath);
        _exit(handle == INVALID_HANDLE_VALUE ? int(GetLastError()) : 101);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), int(ERROR_ACCESS_DENIED));
}

TEST(StandIn, HandleIsNeverNullEvenForDescriptorZero)
{
    ScriptedDriver driver;
    const int saved = dup(0);
    ASSERT_GE(saved, 0);
    close(0);
    const HANDLE handle = open_path(kDriverPath);
    const int reused = fcntl(0, F_GETFD);
    EXPECT_NE(handle, nullptr);
    EXPECT_NE(handle, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(probe(handle));
    EXPECT_TRUE(CloseHandle(handle));
    dup2(saved, 0);
    close(saved);
    EXPECT_GE(reused, 0) << "the socket was expected to take descriptor 0";
}

// ---------------------------------------------------------- bad handles

TEST(StandIn, HandleNotOpenIsInvalid)
{
    ScriptedDriver driver;
    const HANDLE handle = open_path(kDriverPath);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(CloseHandle(handle));
    uint8_t out[4];
    DWORD count = 77;
    EXPECT_FALSE(DeviceIoControl(handle, kProbeCode, nullptr, 0, out, 4, &count, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(count, 0u);
    EXPECT_FALSE(CloseHandle(handle));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

    for (HANDLE bogus : {INVALID_HANDLE_VALUE, HANDLE(nullptr), HANDLE(uintptr_t(6))}) {
        EXPECT_FALSE(DeviceIoControl(bogus, kProbeCode, nullptr, 0, out, 4, &count, nullptr));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        EXPECT_FALSE(CloseHandle(bogus));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    }
    EXPECT_TRUE(driver.requests().empty());
}

// --------------------------------------------------------------- frames

TEST(StandIn, SendsOneFrameAndCopiesTheAnswer)
{
    ScriptedDriver driver;
    driver.script(0x12345678, DriverReply::bytes(hex("aa bb cc")));
    const HANDLE handle = open_path(kDriverPath);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    uint8_t in[5] = {1, 2, 3, 4, 5};
    uint8_t out[8];
    std::memset(out, 0xEE, sizeof out);
    DWORD count = 0;
    EXPECT_TRUE(DeviceIoControl(handle, 0x12345678, in, 5, out, 8, &count, nullptr));
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(to_hex(out, 8), "aa bb cc ee ee ee ee ee");
    const auto requests = driver.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].code, 0x12345678u);
    EXPECT_EQ(to_hex(requests[0].input), "01 02 03 04 05");
    EXPECT_EQ(requests[0].out_size, 8u);
    CloseHandle(handle);
}

TEST(StandIn, DriverErrorFailsTheCallAndKeepsTheHandle)
{
    ScriptedDriver driver;
    driver.script(kProbeCode, DriverReply::fail(1234));
    const HANDLE handle = open_path(kDriverPath);
    uint8_t out[4];
    DWORD count = 9;
    EXPECT_FALSE(DeviceIoControl(handle, kProbeCode, nullptr, 0, out, 4, &count, nullptr));
    EXPECT_EQ(GetLastError(), 1234u);
    EXPECT_EQ(count, 0u);
    EXPECT_TRUE(probe(handle));
    CloseHandle(handle);
}

struct BrokenCase {
    const char *name;
    DriverReply reply;
};

DriverReply hang_up()
{
    DriverReply reply;
    reply.hang_up = true;
    return reply;
}

DriverReply cut_short(std::vector<uint8_t> raw)
{
    DriverReply reply;
    reply.raw = std::move(raw);
    reply.hang_up = true;
    return reply;
}

const BrokenCase kBrokenCases[] = {
    {"wrong magic", DriverReply::frame(0x31445857, 0, 4, {1, 0, 0, 0})},
    {"more bytes than offered", DriverReply::frame(kMagic, 0, 5, {1, 0, 0, 0, 0})},
    {"bytes along with an error", DriverReply::frame(kMagic, 5, 1, {0})},
    {"hang-up", hang_up()},
    {"header cut short", cut_short(hex("56 58 44 31 00 00"))},
    {"output cut short", cut_short(hex("56 58 44 31 00 00 00 00 04 00 00 00 01 02"))},
};

class BrokenResponse : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(BrokenResponse, FailsWithGeneralFailureAndTheHandleStaysUnusable)
{
    ScriptedDriver driver;
    driver.script(kProbeCode, GetParam().reply);
    const HANDLE handle = open_path(kDriverPath);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    uint8_t out[4];
    DWORD count = 0;
    EXPECT_FALSE(DeviceIoControl(handle, kProbeCode, nullptr, 0, out, 4, &count, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
    // The driver would answer the next request properly; the handle, out of
    // step with it, must not try.
    EXPECT_FALSE(DeviceIoControl(handle, kProbeCode, nullptr, 0, out, 4, &count, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
    EXPECT_EQ(driver.requests().size(), 1u);
    EXPECT_TRUE(CloseHandle(handle));
    // Another handle is fine.
    const HANDLE fresh = open_path(kDriverPath);
    EXPECT_TRUE(probe(fresh));
    CloseHandle(fresh);
}

INSTANTIATE_TEST_SUITE_P(StandIn, BrokenResponse, ::testing::ValuesIn(kBrokenCases),
                         [](const auto &info) { return "row" + std::to_string(info.index); });

TEST(StandIn, ClosedDriverDoesNotRaiseSigpipe)
{
    struct sigaction previous {};
    struct sigaction deflt {};
    deflt.sa_handler = SIG_DFL;
    sigaction(SIGPIPE, &deflt, &previous);
    {
        ScriptedDriver driver;
        driver.script(kProbeCode, hang_up());
        const HANDLE handle = open_path(kDriverPath);
        EXPECT_FALSE(probe(handle));
        // A request of some size into the closed connection: without
        // MSG_NOSIGNAL this would kill the test program.
        std::vector<uint8_t> in(200000, 0x11);
        DWORD count = 0;
        for (int i = 0; i < 3; ++i) {
            EXPECT_FALSE(DeviceIoControl(handle, kProbeCode, in.data(), DWORD(in.size()), nullptr,
                                         0, &count, nullptr));
            EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
        }
        CloseHandle(handle);
    }
    sigaction(SIGPIPE, &previous, nullptr);
}

// --------------------------------------------------------------- limits

TEST(StandIn, SizesAboveOneMebibyteAreRefusedUnsent)
{
    ScriptedDriver driver;
    const HANDLE handle = open_path(kDriverPath);
    std::vector<uint8_t> in((1u << 20) + 1, 0x22);
    std::vector<uint8_t> out((1u << 20) + 1);
    DWORD count = 0;
    EXPECT_FALSE(DeviceIoControl(handle, kProbeCode, in.data(), DWORD(in.size()), out.data(), 4,
                                 &count, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(DeviceIoControl(handle, kProbeCode, nullptr, 0, out.data(), DWORD(out.size()),
                                 &count, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(driver.requests().empty());

    // Exactly 1 MiB each way is allowed.
    driver.script(kProbeCode, DriverReply::bytes(std::vector<uint8_t>(1u << 20, 0x33)));
    EXPECT_TRUE(DeviceIoControl(handle, kProbeCode, in.data(), 1u << 20, out.data(), 1u << 20,
                                &count, nullptr));
    EXPECT_EQ(count, 1u << 20);
    EXPECT_EQ(out[(1u << 20) - 1], 0x33);
    ASSERT_EQ(driver.requests().size(), 1u);
    EXPECT_EQ(driver.requests()[0].input.size(), 1u << 20);
    EXPECT_TRUE(probe(handle));
    CloseHandle(handle);
}

TEST(StandIn, RefusesBuffersThatAreNotThere)
{
    ScriptedDriver driver;
    const HANDLE handle = open_path(kDriverPath);
    uint8_t out[4];
    DWORD count = 0;
    int overlapped = 0;
    EXPECT_FALSE(DeviceIoControl(handle, kProbeCode, nullptr, 4, out, 4, &count, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(DeviceIoControl(handle, kProbeCode, nullptr, 0, nullptr, 4, &count, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(DeviceIoControl(handle, kProbeCode, nullptr, 0, out, 4, &count, &overlapped));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(driver.requests().empty());
    EXPECT_TRUE(probe(handle));
    CloseHandle(handle);
}

TEST(ScriptedDriverLimits, ClosesAConnectionThatSendsTooMuch)
{
    ScriptedDriver driver;
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", driver.socket_path().c_str());
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    const auto header = hex("56 58 44 31 00 04 22 00 01 00 10 00 04 00 00 00"); // in_size 1 MiB + 1
    ASSERT_EQ(send(fd, header.data(), header.size(), MSG_NOSIGNAL), ssize_t(header.size()));
    uint8_t byte;
    EXPECT_EQ(recv(fd, &byte, 1, 0), 0); // closed without an answer
    close(fd);
    EXPECT_TRUE(driver.requests().empty());
}

// -------------------------------------------------- signals and threads

void ignore_signal(int) {}

TEST(StandIn, InterruptedCallsAreResumed)
{
    struct sigaction action {};
    action.sa_handler = ignore_signal; // no SA_RESTART: blocking calls see EINTR
    struct sigaction previous {};
    sigaction(SIGUSR1, &action, &previous);

    ScriptedDriver driver;
    DriverReply slow = DriverReply::bytes(hex("00 01 00 00"));
    slow.delay_ms = 300;
    driver.script(kProbeCode, slow);
    const HANDLE handle = open_path(kDriverPath);

    const pthread_t caller = pthread_self();
    std::atomic<bool> done{false};
    std::thread interrupter([&] {
        while (!done) {
            pthread_kill(caller, SIGUSR1);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    EXPECT_TRUE(probe(handle));
    done = true;
    interrupter.join();
    CloseHandle(handle);
    sigaction(SIGUSR1, &previous, nullptr);
}

TEST(StandIn, LastErrorBelongsToEachThread)
{
    ScriptedDriver driver;
    driver.remove_socket();
    EXPECT_FALSE(CloseHandle(nullptr));
    ASSERT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    DWORD other = 0;
    std::thread([&] {
        open_path(kDriverPath);
        other = GetLastError();
    }).join();
    EXPECT_EQ(other, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

} // namespace
} // namespace vuxa_test
