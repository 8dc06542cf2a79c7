#!/usr/bin/env python3
"""Runs the benchmarks and prints the README's tables (MB/s and operations
per second, the median of the repetitions; every table's rows come from one
run of the program). Usage: bench_table.py [path/to/tessel_bench] [repetitions]"""

import json
import statistics
import subprocess
import sys

ROWS = [
    ("bash256", "bash256_default/1MiB", "bash256_portable/1MiB"),
    ("bash256, AVX2 path", "bash256_avx2/1MiB", None),
    ("bash512", "bash512_default/1MiB", "bash512_portable/1MiB"),
    ("bash512, AVX2 path", "bash512_avx2/1MiB", None),
    ("OpenSSL AES-256-CTR", "aes256_ctr_evp/1MiB", None),
    ("OpenSSL SHA-256", "sha256_evp/1MiB", None),
    ("OpenSSL SHA3-256", "sha3_256_evp/1MiB", None),
]

# belt on every path; then a table-driven belt-block in the same run (not
# constant time: blocks one after another, or chained as in CBC encryption
# and belt-mac), and the reference implementation's published figure for
# this kind of machine (it cannot be built here).
BELT = [
    ("belt-ecb256 encrypt", "belt_ecb", "belt_ecb_table_driven", "135-145"),
    ("belt-ecb256 decrypt", "belt_ecb_decrypt", "belt_ecb_table_driven", "135-145"),
    ("belt-cbc256 encrypt", "belt_cbc", "belt_mac_table_driven", "135-145"),
    ("belt-cbc256 decrypt", "belt_cbc_decrypt", "belt_ecb_table_driven", "135-145"),
    ("belt-cfb256 encrypt", "belt_cfb", "belt_mac_table_driven", "135-145"),
    ("belt-cfb256 decrypt", "belt_cfb_decrypt", "belt_ecb_table_driven", "135-145"),
    ("belt-ctr256", "belt_ctr", "belt_ecb_table_driven", "135-145"),
    ("belt-mac256", "belt_mac", "belt_mac_table_driven", "131"),
    ("belt-hash", "belt_hash", None, "90"),
]
PATHS = ("avx512", "avx2", "ssse3", "portable")

OPS = [
    ("bign sign", "bign_sign"),
    ("bign verify", "bign_verify"),
    ("bign key pair", "bign_keypair"),
    ("bign token create", "bign_token_create"),
    ("bign token decode", "bign_token_decode"),
    ("bign sign through EVP (32 octets)", "bign_evp_sign/32B"),
    ("bign verify through EVP (32 octets)", "bign_evp_verify/32B"),
]
UNIT = {"ns": 1e9, "us": 1e6, "ms": 1e3, "s": 1.0}


def run(exe: str, flt: str, reps: str) -> dict:
    out = subprocess.run(
        [exe, f"--benchmark_filter={flt}", "--benchmark_min_time=0.5",
         f"--benchmark_repetitions={reps}", "--benchmark_format=json"],
        check=True, capture_output=True, text=True).stdout
    best = {}
    for b in json.loads(out)["benchmarks"]:
        if b.get("run_type") != "iteration":
            continue
        name = b["run_name"]
        if "bytes_per_second" in b:
            value = b["bytes_per_second"] / 1e6
        else:
            value = UNIT[b["time_unit"]] / b["cpu_time"]
        best.setdefault(name, []).append(value)
    return {name: statistics.median(values) for name, values in best.items()}


def main() -> None:
    exe = sys.argv[1] if len(sys.argv) > 1 else "build/bench/tessel_bench"
    reps = sys.argv[2] if len(sys.argv) > 2 else "3"
    best = run(exe, "1MiB", reps)
    print("| algorithm | MB/s (fastest path here) | MB/s (portable code) |")
    print("|---|---:|---:|")
    for label, fast, portable in ROWS:
        f = f"{best[fast]:.0f}" if fast in best else "-"
        p = f"{best[portable]:.0f}" if portable in best else "-"
        print(f"| {label} | {f} | {p} |")


def belt_table(exe: str, reps: str) -> None:
    best = run(exe, "^belt_", reps)
    print("| MB/s, 1 MiB | AVX-512 | AVX2 | SSSE3 | portable | table-driven, same run "
          "| reference implementation (published) |")
    print("|---|---:|---:|---:|---:|---:|---:|")
    for label, name, table, reference in BELT:
        cells = [f"{best[f'{name}_{p}/1MiB']:.0f}" if f"{name}_{p}/1MiB" in best else "-"
                 for p in PATHS]
        cells.append(f"{best[f'{table}/1MiB']:.0f}" if table and f"{table}/1MiB" in best else "-")
        print(f"| {label} | " + " | ".join(cells) + f" | {reference} |")


def bign_table(exe: str, reps: str) -> None:
    best = run(exe, "bign|ecdsa", reps)
    print("| operations per second | level 128 | level 192 | level 256 |")
    print("|---|---:|---:|---:|")

    def row(label: str, name: str) -> None:
        cells = [f"{best[f'{name}/{lv}']:,.0f}" if f"{name}/{lv}" in best else "-"
                 for lv in (128, 192, 256)]
        print(f"| {label} | " + " | ".join(cells) + " |")

    for label, name in OPS:
        row(label, name)
    row("OpenSSL ECDSA sign (P-256, P-384, P-521)", "ecdsa_evp_sign/32B")
    row("OpenSSL ECDSA verify (P-256, P-384, P-521)", "ecdsa_evp_verify/32B")
    for label, ours, theirs in (("sign", "bign_evp_sign/32B", "ecdsa_evp_sign/32B"),
                                ("verify", "bign_evp_verify/32B", "ecdsa_evp_verify/32B")):
        cells = []
        for lv in (128, 192, 256):
            a, b = best.get(f"{ours}/{lv}"), best.get(f"{theirs}/{lv}")
            cells.append(f"{100 * a / b:.0f}%" if a and b else "-")
        print(f"| bign / ECDSA, {label} through EVP | " + " | ".join(cells) + " |")


SIGN_1K = [
    ("bign signature alone (precomputed hash)", "BM_TesselBareBignSign"),
    ("EVP one-shot signature: belt-hash of 1 KiB + bign", "BM_BignDigestSign1KiB"),
    ("OpenSSL CMS_sign, key and certificate already parsed", "BM_BignCmsSignParsed1KiB"),
    ("`CreateSignP7S` (PEM key and certificate, DER output)", "BM_TesselCreateSignP7S"),
    ("P-256: EVP one-shot signature of 1 KiB", "BM_P256DigestSign1KiB"),
    ("P-256: OpenSSL CMS_sign, parsed key and certificate", "BM_P256CmsSignParsed1KiB"),
]


def sign_table(exe: str, reps: str) -> None:
    best = run(exe, "BareBignSign|Sign1KiB|SignParsed1KiB|CreateSignP7S", reps)
    print("| detached signature of 1 KiB, level 128 | microseconds | per second |")
    print("|---|---:|---:|")
    for label, name in SIGN_1K:
        if name in best:
            print(f"| {label} | {1e6 / best[name]:.1f} | {best[name]:,.0f} |")


if __name__ == "__main__":
    exe_arg = sys.argv[1] if len(sys.argv) > 1 else "build/bench/tessel_bench"
    reps_arg = sys.argv[2] if len(sys.argv) > 2 else "3"
    main()
    print()
    belt_table(exe_arg, reps_arg)
    print()
    bign_table(exe_arg, reps_arg)
    print()
    sign_table(exe_arg, reps_arg)
