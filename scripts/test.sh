#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test.
#   test.sh            Release build in build/
#   test.sh --sanitize AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
# The plain run also runs the fuzz targets briefly (scripts/fuzz.sh ci), then
# builds, installs, checks and purges the Debian packages
# (scripts/package-check.sh; as root, or TESSEL_SKIP_PACKAGE_CHECK=1).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"

dir="$root/build"
opts=()
if [ "${1:-}" = "--sanitize" ]; then
  dir="$root/build-asan"
  opts=(-DTESSEL_SANITIZE=ON -DTESSEL_BUILD_BENCH=OFF)
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1
  export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
fi
"$root/scripts/build.sh" "$dir" "${opts[@]}"
export QT_QPA_PLATFORM=offscreen
cd "$dir"
ctest --output-on-failure -j "$(nproc 2>/dev/null || echo 2)"
# The fuzz targets (their own clang build in build-fuzz/): every seed and
# regression input, then each target briefly.
if [ "${1:-}" != "--sanitize" ]; then
  "$root/scripts/fuzz.sh" ci
  "$root/scripts/package-check.sh"
fi
