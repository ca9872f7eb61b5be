#!/usr/bin/env python3
"""Prints the speed ratios of the host digests against OpenSSL from the JSON
that bench_md5 writes with --benchmark_out=FILE (medians when the run had
repetitions, CPU time)."""
import json
import sys

COMPARISONS = [
    ("1 MiB, MD5_Hash / EVP_Digest", "BM_Pyxo_MD5_Hash/1048576", "BM_OpenSSL_EVP_Digest/1048576"),
    ("1 MiB, MD5Init+Update+Final / EVP_Digest", "BM_Pyxo_MD5_Incremental/1048576",
     "BM_OpenSSL_EVP_Digest/1048576"),
    ("64 B, MD5_Hash / EVP_Digest", "BM_Pyxo_MD5_Hash/64", "BM_OpenSSL_EVP_Digest/64"),
    ("64 B, MD5_Hash / MD5()", "BM_Pyxo_MD5_Hash/64", "BM_OpenSSL_MD5/64"),
    ("HMAC 16-byte key and text, HMAC_MD5 / HMAC()", "BM_Pyxo_HMAC_MD5", "BM_OpenSSL_HMAC"),
]


def main():
    with open(sys.argv[1]) as f:
        runs = json.load(f)["benchmarks"]
    times = {}
    for run in runs:
        name = run["run_name"]
        if run.get("aggregate_name", "median") == "median":
            times[name] = (run["cpu_time"], run.get("cycles/byte"), run.get("cycles/call"))
    for label, ours, theirs in COMPARISONS:
        if ours in times and theirs in times:
            print(f"{label}: {times[theirs][0] / times[ours][0]:.2f}x")
    for name, (_, per_byte, per_call) in times.items():
        if per_byte is not None:
            print(f"{name}: {per_byte:.2f} cycles/byte")
        if per_call is not None:
            print(f"{name}: {per_call:.0f} cycles/call")


if __name__ == "__main__":
    main()
