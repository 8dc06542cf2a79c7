#!/usr/bin/env bash
# Load check of the signing server: wrk with 16 keep-alive connections for
# 20 s against "?action=checkLs", beside nginx serving the same JSON over TLS
# on loopback; resident memory before and after; then 5,000 idle TLS
# connections held by one process and the time a new client waits for its
# answer (the service closes the longest-idle ones to make room).
#   bench-server.sh [BUILD_DIR] [SECONDS]
# Needs port 7887 free (no running copy of the program) and port 7888 for nginx.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
seconds=${2:-20}
program="$build/app/Tavrik_Server_Crypt"
idle_clients="$build/tests/program/idle_clients"
[ -x "$program" ] && [ -x "$idle_clients" ] || cmake --build "$build" --target Tavrik_Server_Crypt idle_clients

work=$(mktemp -d)
server_pid=""
nginx_conf="$work/nginx.conf"
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  [ -f "$work/nginx.pid" ] && nginx -c "$nginx_conf" -p "$work" -s stop 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
ulimit -n 16384 2>/dev/null || ulimit -n "$(ulimit -Hn)"

mkdir -p "$work/config/Tavrik_Server_Crypt" "$work/tmp/Tavrik_Server_Crypt-$(id -u)"
chmod 700 "$work/tmp/Tavrik_Server_Crypt-$(id -u)"
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 \
  -subj /CN=localhost -addext "subjectAltName=DNS:localhost,IP:127.0.0.1,IP:::1" \
  -keyout "$work/config/Tavrik_Server_Crypt/server.key" \
  -out "$work/config/Tavrik_Server_Crypt/server.crt" >/dev/null 2>&1
printf '[Tavrik_Server_Crypt Settings]\ndefaultProvider=Зорвик2\n' \
  >"$work/config/Tavrik_Server_Crypt/Ferrox_Tavrik_Server_Crypt.ini"

QT_QPA_PLATFORM=offscreen TMPDIR="$work/tmp" XDG_CONFIG_HOME="$work/config" \
  XDG_RUNTIME_DIR="$work" "$program" 2>"$work/server.err" &
server_pid=$!
for _ in $(seq 100); do
  curl -sk --max-time 1 "https://localhost:7887/?action=checkLs" >/dev/null && break
  sleep 0.1
done

cat >"$nginx_conf" <<NGINX
worker_processes 1;
pid $work/nginx.pid;
error_log $work/nginx.err;
events { worker_connections 4096; }
http {
  access_log off;
  server {
    listen 127.0.0.1:7888 ssl;
    ssl_certificate $work/config/Tavrik_Server_Crypt/server.crt;
    ssl_certificate_key $work/config/Tavrik_Server_Crypt/server.key;
    location / {
      default_type "application/json, charset=UTF-8";
      add_header Cache-Control "no-cache, no-store";
      add_header Access-Control-Allow-Headers "Content-Type";
      add_header Access-Control-Allow-Credentials "true";
      add_header Access-Control-Allow-Origin "*";
      add_header Access-Control-Allow-Methods "POST, GET, OPTIONS";
      return 200 '{"status":"OK"}';
    }
  }
}
NGINX
nginx -c "$nginx_conf" -p "$work"

rss() { awk '/VmRSS/ {print $2}' "/proc/$server_pid/status"; }
run_wrk() { wrk -t2 -c16 -d"${seconds}s" "$1" | tee "$work/wrk.out" >&2; }
rate() { awk '/Requests\/sec/ {print $2}' "$work/wrk.out"; }
errors() {
  awk '/Socket errors|Non-2xx/ {for (i = 1; i <= NF; i++) if ($i ~ /^[0-9]+,?$/) s += $i} END {print s + 0}' \
    "$work/wrk.out"
}

# One warm-up pass so that the "before" size is taken in the steady state.
wrk -t1 -c16 -d2s "https://localhost:7887/?action=checkLs" >/dev/null
rss_before=$(rss)
echo "== Tavrik_Server_Crypt" >&2
run_wrk "https://localhost:7887/?action=checkLs"
server_rate=$(rate); server_errors=$(errors)
rss_after=$(rss)
echo "== nginx" >&2
run_wrk "https://localhost:7888/?action=checkLs"
nginx_rate=$(rate)

echo "== 5000 idle TLS connections, then a new client" >&2
idle_result=$("$idle_clients" 7887 5000 || true)

awk -v s="$server_rate" -v n="$nginx_rate" -v e="$server_errors" -v b="$rss_before" \
  -v a="$rss_after" -v idle="$idle_result" 'BEGIN {
  printf "server_rps=%.0f nginx_rps=%.0f ratio=%.2f errors=%d rss_before_kb=%d rss_after_kb=%d rss_change=%.1f%% %s\n",
    s, n, s / n, e, b, a, (a - b) * 100 / b, idle
  ok = (s / n >= 0.5) && e == 0 && a <= b * 1.1 && a >= b * 0.9 && idle ~ /fresh_request_ms/
  exit ok ? 0 : 1
}'
