#!/usr/bin/env bash
# Installs what is needed, builds, and runs the benchmark summary of the
# national algorithms (the signing server joins here once it exists).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build"
exec "$root/build/bench/tessel_bench" --benchmark_min_time=0.3 "$@"
