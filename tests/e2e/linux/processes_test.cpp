// Several processes at once on one daemon: a token is attached to one
// handle at a time, and every process gets its own token's answers.
#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

#include "env_var.h"
#include "token_files.h"
#include "vuxad_process.h"

namespace e2e {
namespace {

// One-way messages between a test and its child processes.
class Pipe {
public:
    Pipe() { EXPECT_EQ(pipe(fds_), 0); }
    ~Pipe()
    {
        close(fds_[0]);
        close(fds_[1]);
    }
    template <class T> void put(const T &value) { (void)!write(fds_[1], &value, sizeof value); }
    template <class T> T get()
    {
        T value{};
        (void)!read(fds_[0], &value, sizeof value);
        return value;
    }

private:
    int fds_[2] = {-1, -1};
};

struct Opened {
    uint32_t status;
    uint32_t serial[2];
};

// Runs body in a child process; its return value is the exit code.
template <class Body> pid_t spawn_child(Body body)
{
    pid_t pid = fork();
    if (pid == 0)
        _exit(body());
    return pid;
}

int exit_code(pid_t pid)
{
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

class Processes : public ::testing::Test {
protected:
    void start(int tokens)
    {
        std::vector<std::string> args;
        for (int i = 0; i < tokens; ++i) {
            args.push_back("--new");
            args.push_back(dir_.path("t" + std::to_string(i) + ".img"));
        }
        ASSERT_TRUE(daemon_.start(args)) << daemon_.log();
    }

    ScratchDir dir_;
    VuxadProcess daemon_{dir_};
    DeviceDirScope device_dir_{daemon_.socket_dir()};
};

TEST_F(Processes, SecondProcessGets21ThenOpensTheNextToken)
{
    start(2);
    Pipe opened, done;
    pid_t holder = spawn_child([&] {
        PYXO_CONTEXT context{};
        Opened result{Pyxo_OpenDevice(&context, PYXO_OPEN_FIRST), {}};
        Pyxo_GetSerialNumber(&context, result.serial);
        opened.put(result);
        done.get<char>();
        Pyxo_CloseDevice(&context);
        return 0;
    });
    Opened first = opened.get<Opened>();
    ASSERT_EQ(first.status, PYXO_OK);

    PYXO_CONTEXT context{};
    EXPECT_EQ(Pyxo_OpenDevice(&context, PYXO_OPEN_FIRST), PYXO_ERR_DEVICE_21);
    EXPECT_EQ(context.device_index, 1u) << "one past the token attached elsewhere";
    ASSERT_EQ(Pyxo_OpenDevice(&context, PYXO_OPEN_NEXT), PYXO_OK);
    EXPECT_EQ(context.device_index, 2u);
    EXPECT_FALSE(context.serial_number[0] == first.serial[0] &&
                 context.serial_number[1] == first.serial[1]);
    Pyxo_CloseDevice(&context);

    done.put('x');
    EXPECT_EQ(exit_code(holder), 0);
    ASSERT_EQ(Pyxo_OpenDevice(&context, PYXO_OPEN_FIRST), PYXO_OK) << "the holder let go";
    EXPECT_EQ(context.serial_number[0], first.serial[0]);
    EXPECT_EQ(context.serial_number[1], first.serial[1]);
    Pyxo_CloseDevice(&context);
}

TEST_F(Processes, AProcessThatDiesReleasesItsToken)
{
    start(1);
    Pipe opened;
    pid_t holder = spawn_child([&] {
        PYXO_CONTEXT context{};
        opened.put(Pyxo_OpenDevice(&context, PYXO_OPEN_FIRST));
        pause(); // killed while it holds the token
        return 0;
    });
    ASSERT_EQ(opened.get<uint32_t>(), PYXO_OK);
    PYXO_CONTEXT context{};
    EXPECT_EQ(Pyxo_OpenDevice(&context, PYXO_OPEN_FIRST), PYXO_ERR_DEVICE_21);
    kill(holder, SIGKILL);
    exit_code(holder);
    uint32_t status = PYXO_ERR_DEVICE_21;
    for (int i = 0; i < 200 && status == PYXO_ERR_DEVICE_21; ++i) {
        usleep(5000); // the daemon sees the hang-up on its next round
        status = Pyxo_OpenDevice(&context, PYXO_OPEN_FIRST);
    }
    EXPECT_EQ(status, PYXO_OK);
    Pyxo_CloseDevice(&context);
}

// Each child opens a token of its own, fills a file with its own pattern
// over and over and reads it back, all children at the same time: each
// holds its token before any starts, so none takes over a token that
// another one has finished with.
TEST_F(Processes, ManyProcessesAtOnceEachSeeTheirOwnToken)
{
    constexpr int kChildren = 6;
    constexpr uint32_t kBytes = 200;
    start(kChildren);
    Pipe opened, go;
    std::vector<pid_t> children;
    for (int child = 0; child < kChildren; ++child) {
        children.push_back(spawn_child([&, child] {
            PYXO_CONTEXT context{};
            uint32_t status = open_free_token(context);
            opened.put('o');
            go.get<char>();
            if (status != PYXO_OK)
                return 1;
            if (log_in(context) != PYXO_OK || Pyxo_CreateDir(&context, 1, 512) != PYXO_OK ||
                create_open_data_file(context, 1, 1, kBytes) != PYXO_OK)
                return 2;
            for (int round = 0; round < 30; ++round) {
                std::vector<uint8_t> data = pattern(kBytes, uint8_t(child * 50 + round));
                std::vector<uint8_t> back(kBytes);
                uint32_t count = 0;
                if (Pyxo_WriteFile(&context, data.data(), 0, kBytes, &count) != PYXO_OK ||
                    Pyxo_ReadFile(&context, back.data(), 0, kBytes, &count) != PYXO_OK)
                    return 3;
                if (back != data)
                    return 4;
            }
            Pyxo_CloseDevice(&context);
            return 0;
        }));
    }
    for (int child = 0; child < kChildren; ++child)
        opened.get<char>();
    for (int child = 0; child < kChildren; ++child)
        go.put('g');
    for (int child = 0; child < kChildren; ++child)
        EXPECT_EQ(exit_code(children[size_t(child)]), 0) << "child " << child;
}

} // namespace
} // namespace e2e
