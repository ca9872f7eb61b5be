// Many clients at once: threads, each with its own context and token,
// writing and reading their own patterns at the same time.
#include "token_test.h"

#include <latch>
#include <string>
#include <thread>

namespace e2e {
namespace {

constexpr int kClients = 6;
constexpr uint32_t kBytes = 200;

class ManyClients : public TokenTest {
protected:
    ManyClients() : TokenTest(kClients) {}
};

// "" when every round read back what it wrote, else what went wrong.  All
// clients hold their tokens before any starts, so that all run at once
// and none takes over a token another one has finished with.
std::string run_client(int client, std::latch &all_open)
{
    PYXO_CONTEXT context{};
    uint32_t status = open_free_token(context);
    all_open.count_down();
    if (status != PYXO_OK)
        return "open: " + std::to_string(status);
    all_open.wait();
    if ((status = log_in(context)) != PYXO_OK)
        return "log in: " + std::to_string(status);
    if ((status = Pyxo_CreateDir(&context, 1, 512)) != PYXO_OK)
        return "create directory: " + std::to_string(status);
    if ((status = create_open_data_file(context, 1, 1, kBytes)) != PYXO_OK)
        return "create file: " + std::to_string(status);
    for (int round = 0; round < 40; ++round) {
        const std::vector<uint8_t> data = pattern(kBytes, uint8_t(client * 40 + round));
        std::vector<uint8_t> back(kBytes);
        uint32_t count = 0;
        if ((status = Pyxo_WriteFile(&context, data.data(), 0, kBytes, &count)) != PYXO_OK)
            return "write: " + std::to_string(status);
        if ((status = Pyxo_ReadFile(&context, back.data(), 0, kBytes, &count)) != PYXO_OK)
            return "read: " + std::to_string(status);
        if (back != data)
            return "read back other bytes in round " + std::to_string(round);
    }
    Pyxo_CloseDevice(&context);
    return "";
}

TEST_F(ManyClients, EachSeesItsOwnTokenAtTheSameTime)
{
    ASSERT_EQ(Pyxo_CloseDevice(&context_), PYXO_OK);
    std::vector<std::string> results(kClients);
    std::vector<std::thread> threads;
    std::latch all_open(kClients);
    for (int client = 0; client < kClients; ++client)
        threads.emplace_back(
            [&, client] { results[size_t(client)] = run_client(client, all_open); });
    for (std::thread &thread : threads)
        thread.join();
    for (int client = 0; client < kClients; ++client)
        EXPECT_EQ(results[size_t(client)], "") << "client " << client;
}

} // namespace
} // namespace e2e
