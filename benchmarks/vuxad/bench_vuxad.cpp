// Token commands per second through the library and vuxad, beside a bare
// round trip of the same frame sizes over a Unix socket, in the same run.
// The figure that matters is the ratio of the two, printed at the end for
// one client and for several at once (each thread with its own context
// and its own token).
#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "echo_server.h"
#include "pyxo.h"

#ifndef VUXAD_PATH
#error "VUXAD_PATH names the vuxad program"
#endif

namespace {

constexpr int kMaxClients = 4;
constexpr uint32_t kCommandControl = 0x22040C; // PYXO_IOCTL_COMMAND
constexpr uint32_t kCommandBlockSize = 272;
constexpr uint32_t kDataDir = 1;
constexpr uint32_t kDataFile = 1;
constexpr uint32_t kDataBytes = 64;
constexpr uint8_t kMasterKey[8] = {1, 2, 3, 4, 5, 6, 7, 8}; // vuxad's default

// The operations measured, with the answer size their command carries.
enum Operation { kSerial, kRead64, kHashRaw };
struct OperationInfo {
    const char *name;
    uint32_t answer_size;
};
constexpr OperationInfo kOperations[] = {
    {"GetSerialNumber", 8},
    {"ReadFile64", kDataBytes},
    {"HashToken", 16},
};

std::string g_dir;
std::string g_echo_path;

// vuxad with one fresh token per client, in a temporary directory.
class Daemon {
public:
    Daemon()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "vuxa-bench-XXXXXX");
        dir_ = mkdtemp(pattern.data());
        std::vector<std::string> args{VUXAD_PATH, "--dir", dir_ + "/sockets"};
        for (int i = 0; i < kMaxClients; ++i) {
            args.push_back("--new");
            args.push_back(dir_ + "/token" + std::to_string(i) + ".img");
        }
        pid_ = spawn(args);
        wait_for(dir_ + "/sockets/VUXADRVR");
        setenv("VUXA_DEVICE_DIR", (dir_ + "/sockets").c_str(), 1);
    }
    ~Daemon()
    {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        std::filesystem::remove_all(dir_);
    }
    const std::string &dir() const { return dir_; }

private:
    static pid_t spawn(const std::vector<std::string> &args)
    {
        std::vector<char *> argv;
        for (const std::string &arg : args)
            argv.push_back(const_cast<char *>(arg.c_str()));
        argv.push_back(nullptr);
        pid_t pid = fork();
        if (pid == 0) {
            execv(argv[0], argv.data());
            _exit(127);
        }
        return pid;
    }

    void wait_for(const std::string &socket) const
    {
        for (int i = 0; i < 2000; ++i) {
            if (std::filesystem::exists(socket))
                return;
            if (waitpid(pid_, nullptr, WNOHANG) == pid_)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        throw std::runtime_error("vuxad did not start");
    }

    std::string dir_;
    pid_t pid_ = -1;
};

// Opens the first token no other context holds.
bool open_free_token(PYXO_CONTEXT &context)
{
    uint32_t status = Pyxo_OpenDevice(&context, PYXO_OPEN_FIRST);
    while (status == PYXO_ERR_DEVICE_21)
        status = Pyxo_OpenDevice(&context, PYXO_OPEN_NEXT);
    return status == PYXO_OK;
}

// A data file of 64 bytes, selected, for the read benchmark.  Creating
// needs the master key; a file left by an earlier run is used again.
bool provision_data_file(PYXO_CONTEXT &context)
{
    PYXO_FILEINFO info{kDataFile, kDataDir, kDataBytes, 2, 0, 0, 0};
    Pyxo_VerifyMasterKey(&context, kMasterKey);
    Pyxo_CreateDir(&context, kDataDir, 256);
    Pyxo_CreateFile(&context, &info);
    return Pyxo_SelectFile(&context, kDataDir, kDataFile) == PYXO_OK;
}

uint32_t run_library_operation(PYXO_CONTEXT &context, Operation operation)
{
    uint32_t serial[2];
    uint8_t buffer[kDataBytes] = {};
    uint32_t count = 0;
    switch (operation) {
    case kSerial:
        return Pyxo_GetSerialNumber(&context, serial);
    case kRead64:
        return Pyxo_ReadFile(&context, buffer, 0, kDataBytes, &count);
    case kHashRaw:
        return Pyxo_HashToken(&context, PYXO_HASH_MODE_RAW, buffer, 64, buffer);
    }
    return PYXO_ERR_UNKNOWN;
}

void BM_Library(benchmark::State &state)
{
    Operation operation = Operation(state.range(0));
    PYXO_CONTEXT context{};
    if (!open_free_token(context) || (operation == kRead64 && !provision_data_file(context))) {
        state.SkipWithError("cannot open and prepare a token");
        Pyxo_CloseDevice(&context);
        return;
    }
    for (auto _ : state) {
        if (run_library_operation(context, operation) != PYXO_OK) {
            state.SkipWithError("token command failed");
            break;
        }
    }
    Pyxo_CloseDevice(&context);
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(kOperations[operation].name);
}

void BM_Bare(benchmark::State &state)
{
    Operation operation = Operation(state.range(0));
    BareClient client(g_echo_path);
    for (auto _ : state) {
        if (!client.round_trip(kCommandControl, kCommandBlockSize,
                               kOperations[operation].answer_size)) {
            state.SkipWithError("round trip failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(kOperations[operation].name);
}

// For each operation and number of clients, the library run and the bare
// run one right after the other, so that both see the same machine.
void register_benchmarks()
{
    for (Operation operation : {kSerial, kRead64, kHashRaw}) {
        for (int clients = 1; clients <= kMaxClients; clients *= 2) {
            const std::string name = kOperations[operation].name;
            benchmark::RegisterBenchmark(("library/" + name).c_str(), BM_Library)
                ->Arg(operation)
                ->Threads(clients)
                ->UseRealTime();
            benchmark::RegisterBenchmark(("bare/" + name).c_str(), BM_Bare)
                ->Arg(operation)
                ->Threads(clients)
                ->UseRealTime();
        }
    }
}

// Prints as usual and keeps every rate, to print the ratios at the end.
// With repetitions the median of each benchmark is taken.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            auto rate = run.counters.find("items_per_second");
            bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.error_occurred || rate == run.counters.end() ||
                (run.run_type == Run::RT_Aggregate && !median))
                continue;
            Key key{run.report_label, int(run.threads)};
            bool library = run.run_name.function_name.rfind("library/", 0) == 0;
            auto &rates = library ? library_ : bare_;
            if (median || rates.count(key) == 0)
                rates[key] = rate->second.value;
        }
    }

    void print_ratios() const
    {
        printf("\n%-16s %7s %14s %14s %8s\n", "operation", "clients", "library ops/s", "bare ops/s",
               "ratio");
        for (const auto &[key, library_rate] : library_) {
            auto bare = bare_.find(key);
            if (bare == bare_.end())
                continue;
            printf("%-16s %7d %14.0f %14.0f %8.3f\n", key.first.c_str(), key.second, library_rate,
                   bare->second, library_rate / bare->second);
        }
        printf("ratio: token commands per second through the library and vuxad, divided by\n"
               "bare round trips of the same sizes per second (1.0: no cost beyond the socket)\n");
    }

private:
    using Key = std::pair<std::string, int>;
    std::map<Key, double> library_, bare_;
};

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    register_benchmarks();
    try {
        Daemon daemon;
        g_echo_path = daemon.dir() + "/echo.sock";
        EchoServer echo(g_echo_path);
        RatioReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        reporter.print_ratios();
    } catch (const std::exception &e) {
        fprintf(stderr, "bench_vuxad: %s\n", e.what());
        return 1;
    }
    return 0;
}
