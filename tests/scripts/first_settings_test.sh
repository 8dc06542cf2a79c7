#!/usr/bin/env bash
# The first settings file goes only into a folder the program itself would
# accept: this user's, not a link, closed to others.
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

# A fresh temporary folder: made owner-only, the file owner-only.
TMPDIR="$base/fresh" && mkdir -p "$TMPDIR" && export TMPDIR
"$script" >/dev/null
work="$TMPDIR/Tavrik_Server_Crypt-$uid"
check "fresh: settings written" grep -q 'defaultProvider=Зорвик2' "$work/Ferrox_Tavrik_Server_Crypt.ini"
check "fresh: folder owner-only" [ "$(mode "$work")" = 700 ]
check "fresh: file owner-only" [ "$(mode "$work/Ferrox_Tavrik_Server_Crypt.ini")" = 600 ]

# An existing file is kept as it is.
echo "mine" >"$work/Ferrox_Tavrik_Server_Crypt.ini"
"$script" >/dev/null
check "existing: file kept" [ "$(cat "$work/Ferrox_Tavrik_Server_Crypt.ini")" = mine ]

# Our own folder left open to others is closed first.
export TMPDIR="$base/open" && mkdir -p "$TMPDIR/Tavrik_Server_Crypt-$uid"
chmod 777 "$TMPDIR/Tavrik_Server_Crypt-$uid"
"$script" >/dev/null
check "open: folder closed to others" [ "$(mode "$TMPDIR/Tavrik_Server_Crypt-$uid")" = 700 ]

# A link planted under our name: nothing written through it.
export TMPDIR="$base/link" && mkdir -p "$TMPDIR/elsewhere"
ln -s "$TMPDIR/elsewhere" "$TMPDIR/Tavrik_Server_Crypt-$uid"
check "link: refused" bash -c '! "$0" 2>/dev/null' "$script"
check "link: nothing written" [ -z "$(ls -A "$TMPDIR/elsewhere")" ]

# A folder another user made under our name (needs root to set up).
if [ "$uid" -eq 0 ] && id nobody >/dev/null 2>&1; then
  export TMPDIR="$base/foreign" && mkdir -p "$TMPDIR/Tavrik_Server_Crypt-$uid"
  chmod 777 "$TMPDIR/Tavrik_Server_Crypt-$uid"
  chown nobody "$TMPDIR/Tavrik_Server_Crypt-$uid"
  check "foreign: refused" bash -c '! "$0" 2>/dev/null' "$script"
  check "foreign: nothing written" [ -z "$(ls -A "$TMPDIR/Tavrik_Server_Crypt-$uid")" ]
else
  echo "skipped: a folder of another user needs root to set up"
fi
exit "$failures"
