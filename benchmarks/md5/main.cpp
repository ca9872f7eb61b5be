// bench_md5's entry: measures the core clock, so that times can be given
// in cycles, then runs the benchmarks.
#include "bench_common.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <time.h>

namespace {

double core_hz = 0;

double thread_cpu_seconds()
{
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return (double)now.tv_sec + (double)now.tv_nsec * 1e-9;
}

} // namespace

CpuTimer::CpuTimer() : start_(thread_cpu_seconds()) {}

double CpuTimer::seconds() const
{
    return thread_cpu_seconds() - start_;
}

namespace {

// A chain of dependent 32-bit multiplications, three cycles each on this
// processor family (the empty asm keeps the compiler from folding the
// chain), timed in thread CPU time; the fastest of several runs is taken.
double measure_core_hz()
{
    constexpr int64_t kSteps = 100'000'000;
    constexpr double kCyclesPerStep = 3;
    double best = 0;
    for (int run = 0; run < 5; run++) {
        volatile uint32_t seed = 1;
        uint32_t x = seed;
        const CpuTimer timer;
        for (int64_t i = 0; i < kSteps; i++) {
            x *= 0x9E3779B1u;
            asm("" : "+r"(x));
        }
        benchmark::DoNotOptimize(x);
        best = std::max(best, kSteps * kCyclesPerStep / timer.seconds());
    }
    return best;
}

} // namespace

double bench_core_hz()
{
    return core_hz;
}

const std::vector<uint8_t> &bench_input()
{
    static const std::vector<uint8_t> input = [] {
        std::vector<uint8_t> bytes(kLargeMessage);
        std::mt19937 rng(1321);
        for (auto &b : bytes)
            b = (uint8_t)rng();
        return bytes;
    }();
    return input;
}

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    core_hz = measure_core_hz();
    char clock[32];
    std::snprintf(clock, sizeof clock, "%.3f GHz", core_hz / 1e9);
    benchmark::AddCustomContext("core_clock", clock);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
