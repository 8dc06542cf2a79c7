#!/usr/bin/env bash
# Installs what is needed, builds, and runs the signing server Tavrik_Server_Crypt.
# On first run it makes a self-signed certificate for localhost, 127.0.0.1 and
# ::1 in $XDG_CONFIG_HOME/Tavrik_Server_Crypt/ (default ~/.config/...).
#   run.sh          the server (offscreen when there is no display)
#   run.sh bench    the benchmark summary of the national algorithms
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build"

if [ "${1:-}" = "bench" ]; then
  shift
  exec "$root/build/bench/tessel_bench" --benchmark_min_time=0.3 "$@"
fi

config="${XDG_CONFIG_HOME:-$HOME/.config}/Tavrik_Server_Crypt"
if [ ! -f "$config/server.crt" ] || [ ! -f "$config/server.key" ]; then
  mkdir -p "$config"
  chmod 700 "$config"
  openssl req -x509 -newkey rsa:2048 -nodes -days 825 -sha256 \
    -subj "/CN=localhost" \
    -addext "subjectAltName=DNS:localhost,IP:127.0.0.1,IP:::1" \
    -addext "basicConstraints=critical,CA:FALSE" \
    -addext "extendedKeyUsage=serverAuth" \
    -keyout "$config/server.key" -out "$config/server.crt" 2>/dev/null
  chmod 600 "$config/server.key"
  echo "Made the server certificate $config/server.crt"
fi

# First run: a settings file naming the Zorvik2 provider, which needs no vendor
# library, so that the server starts listening (the program's own default is
# the Avest provider, which needs the vendor library libAvCryptMail.so).
"$root/scripts/first-settings.sh" || true

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
fi
exec "$root/build/app/Tavrik_Server_Crypt" "$@"
