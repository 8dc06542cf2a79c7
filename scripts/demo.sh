#!/usr/bin/env bash
# The demo bank page (demo/), served on a loopback port, and its origin among
# the origins the signing server answers.
#   demo.sh allow   adds the page's origin to the settings key allowedOrigins,
#                   unless the key already lists origins (the user's choice)
#   demo.sh serve   serves the page in the background unless the port is taken
# DEMO_PORT chooses the port (default 8787).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
port=${DEMO_PORT:-8787}
origin="http://127.0.0.1:$port"
settings="${XDG_CONFIG_HOME:-$HOME/.config}/Tavrik_Server_Crypt/Ferrox_Tavrik_Server_Crypt.ini"

case "${1:-}" in
  allow)
    [ -f "$settings" ] && [ ! -L "$settings" ] || exit 0
    if grep -q '^allowedOrigins=' "$settings"; then
      grep -q "^allowedOrigins=.*$origin" "$settings" ||
        echo "demo.sh: allowedOrigins in $settings does not list $origin; the demo page needs it" >&2
      exit 0
    fi
    # Into the program's section, written beside the file and renamed over it.
    (umask 077 && awk -v line="allowedOrigins=$origin" \
      '{ print } /^\[Tavrik_Server_Crypt Settings\]/ { print line }' "$settings" >"$settings.new" &&
      mv -f "$settings.new" "$settings")
    echo "Allowed the demo page's origin $origin in $settings"
    ;;
  serve)
    if ! ss -Hltn "sport = :$port" | grep -q .; then
      setsid -f python3 -m http.server --bind 127.0.0.1 "$port" --directory "$root/demo" \
        >/dev/null 2>&1 </dev/null
    fi
    echo "Demo bank page: $origin/"
    ;;
  *)
    echo "usage: demo.sh allow|serve" >&2
    exit 2
    ;;
esac
