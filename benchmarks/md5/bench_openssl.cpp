// OpenSSL 3's libcrypto doing the same work: EVP_Digest and the one-shot
// MD5() and HMAC().
#define OPENSSL_SUPPRESS_DEPRECATED
#include "bench_common.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/md5.h>

namespace {

void BM_OpenSSL_EVP_Digest(benchmark::State &state)
{
    const int64_t size = state.range(0);
    const uint8_t *data = bench_input().data();
    uint8_t digest[16];
    unsigned int length = 0;
    const CpuTimer timer;
    for (auto _ : state) {
        EVP_Digest(data, (size_t)size, digest, &length, EVP_md5(), nullptr);
        benchmark::DoNotOptimize(digest);
    }
    bench_report_bytes(state, timer, size);
}
BENCHMARK(BM_OpenSSL_EVP_Digest)->Arg(kSmallMessage)->Arg(kLargeMessage);

void BM_OpenSSL_MD5(benchmark::State &state)
{
    const int64_t size = state.range(0);
    const uint8_t *data = bench_input().data();
    uint8_t digest[16];
    const CpuTimer timer;
    for (auto _ : state) {
        MD5(data, (size_t)size, digest);
        benchmark::DoNotOptimize(digest);
    }
    bench_report_bytes(state, timer, size);
}
BENCHMARK(BM_OpenSSL_MD5)->Arg(kSmallMessage)->Arg(kLargeMessage);

void BM_OpenSSL_HMAC(benchmark::State &state)
{
    const uint8_t *key = bench_input().data();
    const uint8_t *text = key + kKeyLength;
    uint8_t digest[16];
    unsigned int length = 0;
    const CpuTimer timer;
    for (auto _ : state) {
        HMAC(EVP_md5(), key, kKeyLength, text, kTextLength, digest, &length);
        benchmark::DoNotOptimize(digest);
    }
    bench_report_calls(state, timer);
}
BENCHMARK(BM_OpenSSL_HMAC);

} // namespace
