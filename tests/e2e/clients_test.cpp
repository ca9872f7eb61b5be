// Many clients at once: threads, each with its own context and token,
// writing and reading their own patterns at the same time.
#include "token_test.h"

#include <thread>

namespace e2e {
namespace {

constexpr int kClients = 6;
constexpr uint32_t kBytes = 200;

class ManyClients : public TokenTest {
protected:
    ManyClients() : TokenTest(kClients) {}
};

// 0 when every round read back what it wrote, else the failing step.
int run_client(int client)
{
    PYXO_CONTEXT context{};
    if (open_free_token(context) != PYXO_OK)
        return 1;
    if (log_in(context) != PYXO_OK || Pyxo_CreateDir(&context, 1, 512) != PYXO_OK ||
        create_open_data_file(context, 1, 1, kBytes) != PYXO_OK)
        return 2;
    for (int round = 0; round < 40; ++round) {
        const std::vector<uint8_t> data = pattern(kBytes, uint8_t(client * 40 + round));
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
}

TEST_F(ManyClients, EachSeesItsOwnTokenAtTheSameTime)
{
    ASSERT_EQ(Pyxo_CloseDevice(&context_), PYXO_OK);
    std::vector<int> results(kClients, -1);
    std::vector<std::thread> threads;
    for (int client = 0; client < kClients; ++client)
        threads.emplace_back([&results, client] { results[size_t(client)] = run_client(client); });
    for (std::thread &thread : threads)
        thread.join();
    for (int client = 0; client < kClients; ++client)
        EXPECT_EQ(results[size_t(client)], 0) << "client " << client;
}

} // namespace
} // namespace e2e
