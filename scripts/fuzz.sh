#!/usr/bin/env bash
# Builds and runs the libFuzzer targets of tests/fuzz (clang, ASan + UBSan) in
# their own build folder.
#   fuzz.sh build           builds everything of the fuzz build (its tests too)
#   fuzz.sh ci              every seed and regression input once, then each
#                           target for FUZZ_SECONDS (default 10) on its seeds
#   fuzz.sh campaign [RUNS] RUNS executions per target (default 10,000,000),
#                           targets in parallel at low priority; writes a
#                           Markdown report
#   fuzz.sh seeds           writes the fixtures, seeds and identifier
#                           dictionary of tests/fuzz anew
# Environment: FUZZ_MAX_SECONDS (campaign: time cap of each process, none by
# default), FUZZ_BUILD (build folder, default build-fuzz), FUZZ_JOBS
# (targets at a time, default: the cores), FUZZ_TARGETS (names, default all).
# Crash inputs are kept in <build>/fuzz-<mode>/<target>/artifacts/; one that is
# fixed goes to tests/fuzz/regressions/<target>/, which every mode runs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD:-"$root/build-fuzz"}
jobs=${FUZZ_JOBS:-$(nproc 2>/dev/null || echo 2)}
mode=${1:-ci}
fuzz_dir="$root/tests/fuzz"

# A smaller quarantine than the default 256 MiB: OpenSSL allocates so much per
# input that recycling the quarantine's pages took a third of the time.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1:quarantine_size_mb=32}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

build_targets() {
  # The tests are built too: scripts/test.sh runs them in this build, so
  # that one sanitized build serves both.
  # -O1 with line tables only: reports keep file and line, and the build
  # takes far less time than with full debug information.
  CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only -DNDEBUG" \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only -DNDEBUG" \
    -DTESSEL_FUZZ=ON -DTESSEL_BUILD_TESTS=ON -DTESSEL_BUILD_BENCH=OFF >/dev/null
  cmake --build "$build" -j "$jobs" --target "$@"
}

# "name dictionary" lines of the targets to run.
target_lines() {
  local manifest="$build/tests/fuzz/targets.txt"
  if [ -z "${FUZZ_TARGETS:-}" ]; then cat "$manifest"; return; fi
  local t
  for t in $FUZZ_TARGETS; do grep "^$t " "$manifest" || { echo "no fuzz target $t" >&2; exit 2; }; done
}

# The target's fixed inputs (name, seed folder): its seeds and its regression
# inputs.
input_dirs() {
  echo "$2"
  [ -d "$fuzz_dir/regressions/$1" ] && echo "$fuzz_dir/regressions/$1"
  return 0
}

# libFuzzer's figure of a finished or crashed run.
stat_of() { awk -v k="stat::$1:" '$1 == k {v = $2} END {print v + 0}' "$2"; }

# run_target MODE NAME DICT SHARE SHARES: one process of a target; a
# campaign runs SHARES of them side by side on one corpus, each with its
# share of the executions. Writes MODE/NAME/result.SHARE as
# "executions start end crashes" (times in seconds since 1970).
run_target() {
  local mode=$1 name=$2 dict=$3 seeds=$4 share=$5 shares=$6
  local bin="$build/tests/fuzz/fuzz_$name" work="$build/fuzz-$mode/$name"
  local log="$work/log.$share" last="$work/last.$share.log"
  local -a options=(-timeout=25 -print_final_stats=1 -artifact_prefix="$work/artifacts/")
  [ "$dict" != "-" ] && options+=(-dict="$dict")
  local -a inputs
  mapfile -t inputs < <(input_dirs "$name" "$seeds")
  mkdir -p "$work/corpus" "$work/artifacts"
  : >"$log"
  local executed=0 crashes=0 start
  start=$(date +%s)
  if [ "$mode" = ci ]; then
    # A fresh corpus each time; the fixed inputs must all pass first.
    rm -rf "$work/corpus" && mkdir -p "$work/corpus"
    "$bin" -runs=0 "${options[@]}" "${inputs[@]}" >>"$log" 2>&1 || crashes=1
    if [ "$crashes" = 0 ]; then
      "$bin" -max_total_time="${FUZZ_SECONDS:-10}" "${options[@]}" "$work/corpus" "${inputs[@]}" \
        >>"$log" 2>&1 || crashes=1
      executed=$(stat_of number_of_executed_units "$log")
    fi
  else
    # The working corpus stays between campaigns; after a crash the run goes
    # on with the executions left, up to five crashes.
    local remaining=$((runs / shares + (share <= runs % shares ? 1 : 0))) rc n
    # FUZZ_MAX_SECONDS caps each process: the slow targets (a key or a
    # certificate per input) run a few hundred inputs a second per core.
    [ -n "${FUZZ_MAX_SECONDS:-}" ] && options+=(-max_total_time="$FUZZ_MAX_SECONDS")
    while [ "$remaining" -gt 0 ] && [ "$crashes" -lt 5 ]; do
      rc=0
      nice -n 19 "$bin" -runs="$remaining" "${options[@]}" "$work/corpus" "${inputs[@]}" \
        >"$last" 2>&1 || rc=$?
      cat "$last" >>"$log"
      n=$(stat_of number_of_executed_units "$last")
      executed=$((executed + n))
      remaining=$((remaining - n))
      [ "$rc" = 0 ] && break
      crashes=$((crashes + 1))
      [ "$n" = 0 ] && break
    done
  fi
  echo "$executed $start $(date +%s) $crashes" >"$work/result.$share"
}

# Runs every chosen target (a campaign: FUZZ_JOBS processes of each, so that
# the slowest targets too use every core), FUZZ_JOBS processes at a time,
# then prints the table.
run_all() {
  local mode=$1 name dict seeds share shares=1 running=0
  [ "$mode" = campaign ] && shares=$jobs
  while read -r name dict seeds; do
    rm -f "$build/fuzz-$mode/$name"/result.*
    for share in $(seq "$shares"); do
      if [ "$running" -ge "$jobs" ]; then
        wait -n || true
        running=$((running - 1))
      fi
      run_target "$mode" "$name" "$dict" "$seeds" "$share" "$shares" &
      running=$((running + 1))
    done
  done < <(target_lines)
  wait || true
  report "$mode"
}

report() {
  local mode=$1 failed=0 name dict seeds work
  echo "| target | executions | executions/s | crashes | new corpus inputs (bytes) | run |"
  echo "|---|---:|---:|---:|---:|---|"
  # The campaign table lists every target: a run of some targets keeps the
  # others' last figures.
  local list
  list=$(if [ "$mode" = campaign ]; then cat "$build/tests/fuzz/targets.txt"; else target_lines; fi)
  while read -r name dict seeds; do
    work="$build/fuzz-$mode/$name"
    if ! compgen -G "$work/result.*" >/dev/null; then
      echo "| $name | - | - | not run | - | - |"
      failed=1
      continue
    fi
    local files bytes
    files=$(find "$work/corpus" -type f | wc -l)
    bytes=$(find "$work/corpus" -type f -printf '%s\n' | awk '{s += $1} END {print s + 0}')
    cat "$work"/result.* | awk -v n="$name" -v f="$files" -v b="$bytes" '
      { e += $1; c += $4; if (first == "" || $2 < first) first = $2; if ($3 > last) last = $3 }
      END {
        s = last - first
        when = "date -u -d @" last " +%Y-%m-%d"
        when | getline day
        printf "| %s | %d | %d | %d | %d (%d) | %s |\n", n, e, (s > 0 ? e / s : e), c, f, b, day
        exit c > 0
      }' || failed=1
  done <<<"$list"
  if [ "$failed" != 0 ]; then
    echo "Crashes (inputs in $build/fuzz-$mode/<target>/artifacts/):" >&2
    grep -l "ERROR:\|oracle failed\|Test unit written" "$build/fuzz-$mode"/*/log.* 2>/dev/null >&2 || true
  fi
  return "$failed"
}

case "$mode" in
  build)
    build_targets all
    ;;
  ci)
    build_targets fuzz_targets
    run_all ci
    ;;
  campaign)
    runs=${2:-10000000}
    build_targets fuzz_targets
    status=0
    mkdir -p "$build/fuzz-campaign"
    run_all campaign >"$build/fuzz-campaign/report.md" || status=$?
    echo "Last run: $(date -u +%Y-%m-%d), $runs executions per target${FUZZ_MAX_SECONDS:+ or $FUZZ_MAX_SECONDS s per process}, $jobs at a time." \
      >>"$build/fuzz-campaign/report.md"
    cat "$build/fuzz-campaign/report.md"
    exit "$status"
    ;;
  seeds)
    build_targets fuzz_make_seeds
    ASAN_OPTIONS=detect_leaks=0 "$build/tests/fuzz/fuzz_make_seeds" "$fuzz_dir"
    ;;
  *)
    echo "usage: $0 build | ci | campaign [RUNS] | seeds" >&2
    exit 2
    ;;
esac
