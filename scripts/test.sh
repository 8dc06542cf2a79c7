#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test.
#   test.sh            Release build in build/ and its tests, then the
#                      sanitizer run below
#   test.sh --sanitize only the sanitizer run: one clang build in build-fuzz/
#                      with AddressSanitizer + UndefinedBehaviorSanitizer
#                      (scripts/fuzz.sh's build) runs every test, then each
#                      fuzz target on its seeds and briefly (fuzz.sh ci)
# The plain run ends by building, installing, checking and purging the Debian
# packages (scripts/package-check.sh; as root, or TESSEL_SKIP_PACKAGE_CHECK=1).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
jobs=$(nproc 2>/dev/null || echo 2)
export QT_QPA_PLATFORM=offscreen

if [ "${1:-}" != "--sanitize" ]; then
  "$root/scripts/build.sh" "$root/build"
  (cd "$root/build" && ctest --output-on-failure -j "$jobs")
fi

build_san=${FUZZ_BUILD:-"$root/build-fuzz"}
FUZZ_BUILD=$build_san "$root/scripts/fuzz.sh" build
(
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  cd "$build_san" && ctest --output-on-failure -j "$jobs" -E '^fuzz_'
)
FUZZ_BUILD=$build_san "$root/scripts/fuzz.sh" ci
if [ "${1:-}" != "--sanitize" ]; then
  "$root/scripts/package-check.sh"
fi
