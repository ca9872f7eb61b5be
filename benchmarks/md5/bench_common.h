// What the MD5 benchmarks share: the message sizes, the input bytes and
// the cycles-per-byte counter.
#ifndef VUXA_BENCHMARKS_MD5_BENCH_COMMON_H
#define VUXA_BENCHMARKS_MD5_BENCH_COMMON_H

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

constexpr int64_t kSmallMessage = 64;
constexpr int64_t kLargeMessage = 1 << 20;
constexpr int kKeyLength = 16;
constexpr int kTextLength = 16;

// Random-looking bytes, enough for the largest message.
const std::vector<uint8_t> &bench_input();

// The core clock in hertz, measured at start-up (main.cpp).
double bench_core_hz();

// Thread CPU time from construction, read by the report functions below.
class CpuTimer {
  public:
    CpuTimer();
    double seconds() const;

  private:
    double start_;
};

// Sets bytes per second and cycles per byte for `bytes` bytes per iteration.
inline void bench_report_bytes(benchmark::State &state, const CpuTimer &timer, int64_t bytes)
{
    state.SetBytesProcessed(state.iterations() * bytes);
    state.counters["cycles/byte"] =
        timer.seconds() * bench_core_hz() / ((double)state.iterations() * (double)bytes);
}

// Sets calls per second and cycles per call.
inline void bench_report_calls(benchmark::State &state, const CpuTimer &timer)
{
    state.SetItemsProcessed(state.iterations());
    state.counters["cycles/call"] = timer.seconds() * bench_core_hz() / (double)state.iterations();
}

#endif
