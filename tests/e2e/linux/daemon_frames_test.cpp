// vuxad as a server of the driver socket protocol: what it answers, and
// how a client that sends nonsense is cut off without disturbing others.
#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>
#include <thread>

#include "raw_client.h"
#include "vuxad_process.h"

namespace e2e {
namespace {

constexpr uint32_t kMaxData = 1u << 20;

class DaemonFrames : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(daemon_.start({"--new", dir_.path("a.img"), "--new", dir_.path("b.img")}))
            << daemon_.log();
    }

    std::string socket() const { return daemon_.socket_path(); }

    // A client that has just been answered, so it is surely being served.
    static void expect_served(RawClient &client)
    {
        auto version = client.call(kGetVersion, {}, 4);
        ASSERT_TRUE(version);
        EXPECT_EQ(version->magic, kMagic);
        EXPECT_EQ(version->error, 0u);
        ASSERT_EQ(version->output.size(), 4u);
        EXPECT_GE(le32(version->output, 0), 0x100u);
    }

    ScratchDir dir_;
    VuxadProcess daemon_{dir_};
};

TEST_F(DaemonFrames, SocketIsPrivateToItsUser)
{
    struct stat dir_stat {
    }, socket_stat{};
    ASSERT_EQ(stat(daemon_.socket_dir().c_str(), &dir_stat), 0);
    ASSERT_EQ(stat(socket().c_str(), &socket_stat), 0);
    EXPECT_EQ(dir_stat.st_mode & 07777, 0700u);
    EXPECT_TRUE(S_ISSOCK(socket_stat.st_mode));
    EXPECT_EQ(socket_stat.st_mode & 07777, 0600u);
}

TEST_F(DaemonFrames, AnswersRequestsSentTogetherOrByteByByte)
{
    RawClient client(socket());
    std::vector<uint8_t> three;
    for (int i = 0; i < 3; ++i) {
        std::vector<uint8_t> frame = request_frame(kGetVersion, {}, 4);
        three.insert(three.end(), frame.begin(), frame.end());
    }
    ASSERT_TRUE(client.send_bytes(three));
    for (int i = 0; i < 3; ++i) {
        auto response = client.receive();
        ASSERT_TRUE(response) << "response " << i;
        EXPECT_EQ(response->output.size(), 4u);
    }
    for (uint8_t byte : request_frame(kGetVersion, {}, 4))
        ASSERT_TRUE(client.send_bytes({byte}));
    auto response = client.receive();
    ASSERT_TRUE(response);
    EXPECT_EQ(response->error, 0u);
}

TEST_F(DaemonFrames, ReturnsNoMoreThanTheOutputOffered)
{
    RawClient client(socket());
    auto response = client.call(kGetVersion, {}, 2);
    ASSERT_TRUE(response);
    EXPECT_LE(response->output.size(), 2u);
    if (response->error != 0)
        EXPECT_TRUE(response->output.empty());
}

TEST_F(DaemonFrames, MalformedFrameClosesOnlyThatConnection)
{
    struct Case {
        const char *name;
        uint32_t magic, in_size, out_size;
    };
    const Case cases[] = {
        {"wrong magic", 0x32445856, 0, 4},          {"input above 1 MiB", kMagic, kMaxData + 1, 4},
        {"input of 4 GiB", kMagic, 0xFFFFFFFF, 4},  {"output above 1 MiB", kMagic, 0, kMaxData + 1},
        {"output of 4 GiB", kMagic, 0, 0xFFFFFFFF},
    };
    RawClient bystander(socket());
    expect_served(bystander);
    for (const Case &c : cases) {
        RawClient offender(socket());
        ASSERT_TRUE(offender.send_bytes(header_frame(c.magic, kGetVersion, c.in_size, c.out_size)))
            << c.name;
        EXPECT_FALSE(offender.receive(2000)) << c.name << ": answered";
        EXPECT_TRUE(offender.closed_by_peer()) << c.name;
        expect_served(bystander);
    }
}

TEST_F(DaemonFrames, InputOfExactly1MiBIsAnswered)
{
    RawClient client(socket());
    std::vector<uint8_t> big(kMaxData, 0x5A);
    ASSERT_TRUE(client.send_bytes(request_frame(kGetVersion, big, 4)));
    auto response = client.receive(10000);
    ASSERT_TRUE(response);
    EXPECT_EQ(response->magic, kMagic);
}

TEST_F(DaemonFrames, ClientLeavingInTheMiddleOfAFrameDisturbsNoOne)
{
    RawClient bystander(socket());
    {
        RawClient leaver(socket());
        std::vector<uint8_t> half = request_frame(kCommand, std::vector<uint8_t>(272), 8);
        half.resize(100);
        ASSERT_TRUE(leaver.send_bytes(half));
    }
    expect_served(bystander);
}

TEST_F(DaemonFrames, ClientThatNeverReadsDoesNotStallOthers)
{
    RawClient hog(socket());
    std::vector<uint8_t> many;
    std::vector<uint8_t> one = request_frame(kGetVersion, {}, 4);
    for (int i = 0; i < 100000; ++i)
        many.insert(many.end(), one.begin(), one.end());
    // The daemon stops reading from the hog once its answers pile up, so
    // this send may block: do it from a thread that the end of the test
    // releases by closing the connection.
    std::thread flood([&] { hog.send_bytes(many); });
    RawClient other(socket());
    for (int i = 0; i < 10; ++i)
        expect_served(other);
    daemon_.stop(SIGKILL);
    flood.join();
}

TEST_F(DaemonFrames, ClosingAConnectionReleasesItsAttachment)
{
    {
        RawClient first(socket());
        auto attached = first.call(kAttach, attach_block(0, 1), 48);
        ASSERT_TRUE(attached);
        ASSERT_EQ(attached->error, 0u);
        EXPECT_EQ(le32(attached->output, 12), 0u) << "attach_status";

        RawClient second(socket());
        auto refused = second.call(kAttach, attach_block(0, 1), 48);
        ASSERT_TRUE(refused);
        ASSERT_EQ(refused->error, 0u);
        EXPECT_NE(le32(refused->output, 12), 0u) << "attached to two handles";
    }
    RawClient third(socket());
    auto attached = third.call(kAttach, attach_block(0, 1), 48);
    ASSERT_TRUE(attached);
    ASSERT_EQ(attached->error, 0u);
    EXPECT_EQ(le32(attached->output, 12), 0u);
}

} // namespace
} // namespace e2e
