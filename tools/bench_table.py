#!/usr/bin/env python3
"""Runs the throughput benchmarks and prints the README's table (MB/s, best
of the repetitions). Usage: bench_table.py [path/to/tessel_bench] [repetitions]"""

import json
import subprocess
import sys

ROWS = [
    ("belt-ecb256 encrypt", "belt_ecb/1MiB", "belt_ecb_portable/1MiB"),
    ("belt-ecb256 decrypt", "belt_ecb_decrypt/1MiB", None),
    ("belt-cbc256 encrypt", "belt_cbc/1MiB", "belt_cbc/1MiB"),
    ("belt-cbc256 decrypt", "belt_cbc_decrypt/1MiB", "belt_cbc_decrypt_portable/1MiB"),
    ("belt-cfb256 encrypt", "belt_cfb/1MiB", "belt_cfb/1MiB"),
    ("belt-cfb256 decrypt", "belt_cfb_decrypt/1MiB", "belt_cfb_decrypt_portable/1MiB"),
    ("belt-ctr256", "belt_ctr/1MiB", "belt_ctr_portable/1MiB"),
    ("belt-mac256", "belt_mac/1MiB", "belt_mac/1MiB"),
    ("belt-hash", "belt_hash/1MiB", "belt_hash/1MiB"),
    ("bash256", "bash256_default/1MiB", "bash256_portable/1MiB"),
    ("bash256, AVX2 path", "bash256_avx2/1MiB", None),
    ("bash512", "bash512_default/1MiB", "bash512_portable/1MiB"),
    ("bash512, AVX2 path", "bash512_avx2/1MiB", None),
    ("OpenSSL AES-256-CTR", "aes256_ctr_evp/1MiB", None),
    ("OpenSSL SHA-256", "sha256_evp/1MiB", None),
    ("OpenSSL SHA3-256", "sha3_256_evp/1MiB", None),
]


def main() -> None:
    exe = sys.argv[1] if len(sys.argv) > 1 else "build/bench/tessel_bench"
    reps = sys.argv[2] if len(sys.argv) > 2 else "3"
    out = subprocess.run(
        [exe, "--benchmark_filter=1MiB", "--benchmark_min_time=0.5",
         f"--benchmark_repetitions={reps}", "--benchmark_format=json"],
        check=True, capture_output=True, text=True).stdout
    best = {}
    for b in json.loads(out)["benchmarks"]:
        if b.get("run_type") != "iteration":
            continue
        name = b["run_name"]
        best[name] = max(best.get(name, 0.0), b["bytes_per_second"] / 1e6)
    print("| algorithm | MB/s (fastest path here) | MB/s (portable code) |")
    print("|---|---:|---:|")
    for label, fast, portable in ROWS:
        f = f"{best[fast]:.0f}" if fast in best else "-"
        p = f"{best[portable]:.0f}" if portable in best else "-"
        print(f"| {label} | {f} | {p} |")


if __name__ == "__main__":
    main()
