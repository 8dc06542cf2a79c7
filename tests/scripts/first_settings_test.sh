#!/usr/bin/env bash
# The first settings file goes only into a settings folder the program itself
# would accept: this user's, not a link, closed to others; and not while an
# older version's file waits in the temporary folder to be taken over.
set -euo pipefail
script="$1"
base=$(mktemp -d)
trap 'rm -rf "$base"' EXIT
uid=$(id -u)
failures=0
check() {  # check WHAT CONDITION...
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
mode() { stat -c %a "$1"; }
use() {  # use NAME: a configuration and a temporary folder of their own
  export XDG_CONFIG_HOME="$base/$1/config" TMPDIR="$base/$1/tmp"
  mkdir -p "$TMPDIR"
  folder="$XDG_CONFIG_HOME/Tavrik_Server_Crypt"
  settings="$folder/Ferrox_Tavrik_Server_Crypt.ini"
}

# Fresh: folders made owner-only, the file owner-only.
use fresh
"$script" >/dev/null
check "fresh: settings written" grep -q 'defaultProvider=Зорвик2' "$settings"
check "fresh: configuration folder owner-only" [ "$(mode "$XDG_CONFIG_HOME")" = 700 ]
check "fresh: folder owner-only" [ "$(mode "$folder")" = 700 ]
check "fresh: file owner-only" [ "$(mode "$settings")" = 600 ]

# An existing file is kept as it is.
echo "mine" >"$settings"
"$script" >/dev/null
check "existing: file kept" [ "$(cat "$settings")" = mine ]

# An older version's file in the temporary folder: left for the program to take over.
use old
mkdir -p -m 700 "$TMPDIR/Tavrik_Server_Crypt-$uid"
echo "older" >"$TMPDIR/Tavrik_Server_Crypt-$uid/Ferrox_Tavrik_Server_Crypt.ini"
"$script" >/dev/null
check "old: nothing written" [ ! -e "$settings" ]

# Our own folder left open to others is closed first.
use open
mkdir -p "$folder" && chmod 777 "$folder"
"$script" >/dev/null
check "open: folder closed to others" [ "$(mode "$folder")" = 700 ]

# A link planted under our name: nothing written through it.
use link
mkdir -p "$base/link/elsewhere" "$XDG_CONFIG_HOME"
ln -s "$base/link/elsewhere" "$folder"
check "link: refused" bash -c '! "$0" 2>/dev/null' "$script"
check "link: nothing written" [ -z "$(ls -A "$base/link/elsewhere")" ]

# A folder another user made under our name (needs root to set up).
if [ "$uid" -eq 0 ] && id nobody >/dev/null 2>&1; then
  use foreign
  mkdir -p "$folder" && chmod 777 "$folder" && chown nobody "$folder"
  check "foreign: refused" bash -c '! "$0" 2>/dev/null' "$script"
  check "foreign: nothing written" [ -z "$(ls -A "$folder")" ]
else
  echo "skipped: a folder of another user needs root to set up"
fi
# The demo page's origin joins the first settings, once, and never replaces
# origins the user listed.
demo="$(dirname "$script")/demo.sh"
use demo
"$script" >/dev/null
"$demo" allow >/dev/null && "$demo" allow >/dev/null
check "demo: origin allowed once" [ "$(grep -c '^allowedOrigins=http://127.0.0.1:8787$' "$settings")" = 1 ]
check "demo: in the program's section" \
  [ "$(sed -n 2p "$settings")" = "allowedOrigins=http://127.0.0.1:8787" ]
printf '[Tavrik_Server_Crypt Settings]\nallowedOrigins=https://mine.example\n' >"$settings"
"$demo" allow 2>/dev/null
check "demo: the user's origins kept" grep -qx 'allowedOrigins=https://mine.example' "$settings"
exit "$failures"
