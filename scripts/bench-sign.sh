#!/usr/bin/env bash
# Signing speed of the server: getDocSign of 1 KiB with the Zorvik2 demo token,
# its login already open, over TLS with keep-alive (wrk, one connection, as a
# bank's page sends them one after another), for SECONDS: requests per second
# and the 50th/99th percentile latency, beside CreateSignP7S alone
# (tessel_bench): with the token's key block, as the server calls it (the
# block's key is derived again on every call), and with a plain key; and the
# token's completion. The server's own share is the median less the first.
# The dialog of the first request is answered by the test-only hook from an
# owner-only file.
#   bench-sign.sh [BUILD_DIR] [SECONDS]
# Needs port 7887 free (no running copy of the program).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
seconds=${2:-20}
program="$build/app/Tavrik_Server_Crypt"
components="$build/components"
[ -x "$program" ] && [ -x "$build/bench/tessel_bench" ] ||
  cmake --build "$build" --target Tavrik_Server_Crypt tessel_bench tessel-token

work=$(mktemp -d)
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" TMPDIR="$work/tmp"
"$components/tessel-token" --demo >/dev/null
mkdir -p -m 700 "$work/config/Tavrik_Server_Crypt" "$work/tmp/Tavrik_Server_Crypt-$(id -u)"
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 \
  -subj /CN=localhost -addext "subjectAltName=DNS:localhost,IP:127.0.0.1,IP:::1" \
  -keyout "$work/config/Tavrik_Server_Crypt/server.key" \
  -out "$work/config/Tavrik_Server_Crypt/server.crt" >/dev/null 2>&1
printf '[Tavrik_Server_Crypt Settings]\ndefaultProvider=Зорвик2\n' \
  >"$work/config/Tavrik_Server_Crypt/Ferrox_Tavrik_Server_Crypt.ini"
(umask 077 && printf 'Demo-Pass1\n' >"$work/answer")  # the demo tokens' published password

QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work" TAVRIK_TEST_DIALOG_ANSWER="$work/answer" \
  "$program" 2>"$work/server.err" &
server_pid=$!
for _ in $(seq 100); do
  curl -sk --max-time 1 "https://localhost:7887/?action=checkLs" >/dev/null && break
  sleep 0.1
done

head -c 1024 /dev/urandom | base64 -w0 >"$work/body"
cat >"$work/post.lua" <<LUA
wrk.method = "POST"
wrk.path = "/?action=getDocSign"
local f = io.open("$work/body", "rb")
wrk.body = f:read("*a")
f:close()
LUA
# The first request opens the login; the rest reuse it.
curl -sk --max-time 10 -X POST --data-binary @"$work/body" \
  "https://localhost:7887/?action=getDocSign" | grep -q '"sign"'

# CreateSignP7S alone, the call as the server makes it: once before the
# server's run (real time, beside its median), and once during it (processor
# time, beside the server's own), so that both see the same machine.
bench() {
  "$build/bench/tessel_bench" \
    --benchmark_filter="$1" --benchmark_min_time="$2" --benchmark_format=csv 2>/dev/null
}
bench 'BM_TesselCreateSignP7S$|BM_Zorvik2PreSignature|BM_Zorvik2Completion' 2 >"$work/bench.csv"
bench BM_Zorvik2PreSignature "$seconds" >"$work/during.csv" &
bench_pid=$!

# The server's own processor time, robust against other load on the machine.
cpu_ticks() { awk '{print $14 + $15}' "/proc/$server_pid/stat"; }
ticks_before=$(cpu_ticks)
wrk -t1 -c1 -d"${seconds}s" --latency -s "$work/post.lua" "https://localhost:7887" |
  tee "$work/wrk.out" >&2
ticks_after=$(cpu_ticks)
wait "$bench_pid"
requests=$(awk '/requests in/ {print $1}' "$work/wrk.out")
cpu_ms=$(awk -v a="$ticks_before" -v b="$ticks_after" -v n="$requests" -v hz="$(getconf CLK_TCK)" \
  'BEGIN {print (b - a) * 1000 / hz / n}')
rps=$(awk '/Requests\/sec/ {print $2}' "$work/wrk.out")
ms() { awk -v p="$1" '$1 == p {v = $2; u = v; sub(/[0-9.]+/, "", u); sub(/[a-z]+/, "", v);
  print (u == "us") ? v / 1000 : (u == "s") ? v * 1000 : v}' "$work/wrk.out"; }
p50=$(ms 50%)
p99=$(ms 99%)
errors=$(awk '/Socket errors|Non-2xx/ {print}' "$work/wrk.out")
signed=$(grep -c "Zorvik2 sign retCode | 0" "$work/tmp/Tavrik_Server_Crypt-$(id -u)/Tavrik_Server_Crypt_Z.log")

# CSV: name, iterations, real time, processor time, unit; in milliseconds.
ms_of() {
  awk -F, -v n="\"$1\"" -v col="$2" '$1 == n {
    f = ($5 ~ /ns/) ? 1e-6 : (($5 ~ /us/) ? 1e-3 : 1); print $col * f
  }' "${3:-$work/bench.csv}"
}
presign=$(ms_of BM_Zorvik2PreSignature 3)
presign_cpu=$(ms_of BM_Zorvik2PreSignature 4 "$work/during.csv")
plain=$(ms_of BM_TesselCreateSignP7S 3)
completion=$(ms_of BM_Zorvik2Completion 3)

awk -v r="$rps" -v p50="$p50" -v p99="$p99" -v c="$presign" -v cc="$presign_cpu" -v pl="$plain" \
  -v k="$completion" -v cpu="$cpu_ms" -v e="$errors" -v s="$signed" 'BEGIN {
  added = p50 - c
  printf "getDocSign_rps=%.1f p50_ms=%.3f p99_ms=%.3f server_cpu_per_request_ms=%.3f\n", r, p50, p99, cpu
  printf "CreateSignP7S_keyblock_ms=%.3f (cpu %.3f) CreateSignP7S_plainkey_ms=%.3f completion_ms=%.3f\n",
    c, cc, pl, k
  printf "server_adds_at_median_ms=%.3f server_adds_cpu_ms=%.3f signed=%d\n", added, cpu - cc, s
  exit (added < 1 && e == "") ? 0 : 1
}'
