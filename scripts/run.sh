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

# Token components, built into build/components: on first run the demo tokens
# (once; tessel-token says where they are and their password), then the
# resident TokenWatcher (a second one for the same user ends by itself).
components="$root/build/components"
token_data="${XDG_DATA_HOME:-$HOME/.local/share}/tessel"
if [ ! -e "$token_data/tokens" ]; then
  "$components/tessel-token" --demo || echo "run.sh: the demo tokens could not be made" >&2
fi
mkdir -p -m 700 "$token_data"
setsid -f "$components/TokenWatcher" >>"$token_data/TokenWatcher.log" 2>&1 </dev/null

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

# The demo bank page on http://127.0.0.1:8787/, allowed to call the server.
"$root/scripts/demo.sh" allow || true
"$root/scripts/demo.sh" serve || true

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
fi
exec "$root/build/app/Tavrik_Server_Crypt" "$@"
