// The library's host digests.
#include "bench_common.h"

#include "pyxo.h"

namespace {

void BM_Pyxo_MD5_Hash(benchmark::State &state)
{
    const int64_t size = state.range(0);
    const uint8_t *data = bench_input().data();
    uint8_t digest[16];
    const CpuTimer timer;
    for (auto _ : state) {
        MD5_Hash(data, (uint32_t)size, digest);
        benchmark::DoNotOptimize(digest);
    }
    bench_report_bytes(state, timer, size);
}
BENCHMARK(BM_Pyxo_MD5_Hash)->Arg(kSmallMessage)->Arg(kLargeMessage);

void BM_Pyxo_MD5_Incremental(benchmark::State &state)
{
    const int64_t size = state.range(0);
    const uint8_t *data = bench_input().data();
    uint8_t digest[16];
    const CpuTimer timer;
    for (auto _ : state) {
        MD5_CTX context;
        MD5Init(&context);
        MD5Update(&context, data, (uint32_t)size);
        MD5Final(digest, &context);
        benchmark::DoNotOptimize(digest);
    }
    bench_report_bytes(state, timer, size);
}
BENCHMARK(BM_Pyxo_MD5_Incremental)->Arg(kSmallMessage)->Arg(kLargeMessage);

void BM_Pyxo_HMAC_MD5(benchmark::State &state)
{
    const uint8_t *key = bench_input().data();
    const uint8_t *text = key + kKeyLength;
    uint8_t digest[16];
    const CpuTimer timer;
    for (auto _ : state) {
        HMAC_MD5(text, kTextLength, key, kKeyLength, nullptr, nullptr, digest);
        benchmark::DoNotOptimize(digest);
    }
    bench_report_calls(state, timer);
}
BENCHMARK(BM_Pyxo_HMAC_MD5);

} // namespace
