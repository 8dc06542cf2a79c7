#!/usr/bin/env bash
# Checks of the installed packages, as a user and a developer meet them
# (scripts/package-check.sh runs it between install and purge):
#   installed-checks.sh SOURCE_TREE EMPTY_FOLDER
# The program runs with its own HOME and XDG folders inside EMPTY_FOLDER.
set -euo pipefail
tree=$1
home=$2
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
private=/usr/lib/$multiarch/tessel
# bash256 of the empty message (STB 34.101.77, its first test vector).
empty_bash256=114c3dfae373d9bcbc3602d6386f2d6a2059ba1bf9048dbaa5146a6cb775709d

say() { echo "package-check: $*"; }
fail() {
  echo "package-check: FAILED: $*" >&2
  exit 1
}

# The program and the components find each other where they are installed.
say "installed program and components"
[ "$(command -v Tavrik_Server_Crypt)" = /usr/bin/Tavrik_Server_Crypt ] ||
  fail "Tavrik_Server_Crypt is not on PATH as /usr/bin/Tavrik_Server_Crypt"
missing=$(ldd /usr/bin/Tavrik_Server_Crypt /usr/bin/tessel-token "$private"/*.so | grep 'not found' || true)
[ -z "$missing" ] || fail "libraries the installed programs need are not found: $missing"
# loaded_from PROGRAM LIBRARY: the real path the dynamic linker takes LIBRARY from.
loaded_from() {
  local found
  found=$(ldd "$1" | sed -n "s/.*$2 => \(.*\) (.*/\1/p")
  if [ -n "$found" ]; then realpath "$found"; fi
}
[ "$(loaded_from /usr/bin/Tavrik_Server_Crypt libzorvik.so)" = "$private/libzorvik.so" ] ||
  fail "Tavrik_Server_Crypt does not find libzorvik.so in $private through its run path"
# The package is built without the test-only settings (their names would be in it).
if grep -q TAVRIK_TEST_ /usr/bin/Tavrik_Server_Crypt; then
  fail "the installed program was built with the test-only settings (TAVRIK_TEST_HOOKS)"
fi
for f in TokenWatcher Signkit/sign tessel-askpass elevate TokenDriverHost; do
  [ -x "$private/$f" ] || fail "$private/$f is missing or not executable"
done
command=$(grep -v '^#' /usr/share/tavrik-server-crypt/Tavrik_Server_Crypt.autostart | head -n 1)
[ "$command" = /usr/bin/Tavrik_Server_Crypt ] ||
  fail "the autostart command file names '$command', not /usr/bin/Tavrik_Server_Crypt"
man -w Tavrik_Server_Crypt tessel-token >/dev/null || fail "a manual page is not found by man"

# The menu entry and its icon.
say "desktop file"
desktop=/usr/share/applications/tavrik-server-crypt.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $desktop"
[ -f /usr/share/icons/hicolor/scalable/apps/tavrik-server-crypt.svg ] ||
  fail "the menu entry's icon is not in the hicolor theme"

# The OpenSSL module by its id, and through the installed configuration.
say "openssl -engine stb"
digest_of_nothing() { printf '' | "$@" 2>&1 | grep -o '[0-9a-f]\{64\}' || true; }
got=$(digest_of_nothing openssl dgst -engine stb -bash256)
[ "$got" = "$empty_bash256" ] ||
  fail "openssl dgst -engine stb -bash256 of the empty message gave '$got', not $empty_bash256"
got=$(OPENSSL_CONF=/etc/tessel/openssl-stb.cnf digest_of_nothing openssl dgst -bash256)
[ "$got" = "$empty_bash256" ] ||
  fail "with OPENSSL_CONF=/etc/tessel/openssl-stb.cnf, openssl dgst -bash256 gave '$got'"

# A developer's program against the installed header, library and pkg-config file.
say "C client through pkg-config libtessel"
# shellcheck disable=SC2046  # pkg-config's flags are separate words
cc -Wall -Wextra -Werror -o "$home/sign_client" "$tree/tests/package/sign_client.c" \
  $(pkg-config --cflags --libs libtessel) || fail "the C client does not build with pkg-config libtessel"
[ "$(loaded_from "$home/sign_client" libtessel.so.1)" = "/usr/lib/$multiarch/libtessel.so.1.0.0" ] ||
  fail "the C client is not linked to the installed libtessel.so.1"
"$home/sign_client" || fail "the C client could not sign and verify with the installed library"

# The program from /usr/bin answers checkLs over TLS, as its own user with its
# own folders, with the demo tokens of the installed token tool.
say "Tavrik_Server_Crypt answers checkLs"
if ss -Htln 'sport = :7887' | grep -q .; then
  fail "port 7887 is taken: $(ss -Htlnp 'sport = :7887')"
fi
export HOME=$home XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data XDG_RUNTIME_DIR=$home/run
export TMPDIR=$home/tmp QT_QPA_PLATFORM=offscreen
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent
config=$XDG_CONFIG_HOME/Tavrik_Server_Crypt
mkdir -m 700 "$XDG_CONFIG_HOME" "$config" "$XDG_RUNTIME_DIR" "$TMPDIR"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -sha256 -subj /CN=localhost \
  -addext "subjectAltName=DNS:localhost,IP:127.0.0.1,IP:::1" \
  -addext "basicConstraints=critical,CA:FALSE" -addext "extendedKeyUsage=serverAuth" \
  -keyout "$config/server.key" -out "$config/server.crt" 2>/dev/null
chmod 600 "$config/server.key"
tessel-token --demo >"$home/demo.txt" 2>&1 || fail "tessel-token --demo failed: $(cat "$home/demo.txt")"
[ "$(tessel-token list | grep -c .)" -ge 3 ] || fail "tessel-token list does not show the demo tokens"

/usr/bin/Tavrik_Server_Crypt >"$home/program.txt" 2>&1 &
program=$!
stop_program() {
  kill "$program" 2>/dev/null || true
  wait "$program" 2>/dev/null || true
}
trap stop_program EXIT
answer=""
for _ in $(seq 150); do
  answer=$(curl -s --max-time 2 --cacert "$config/server.crt" \
    'https://localhost:7887/?action=checkLs' || true)
  [ -n "$answer" ] && break
  kill -0 "$program" 2>/dev/null || break
  sleep 0.2
done
if [ "$answer" != '{"status":"OK"}' ]; then
  echo "--- the program's output:" >&2
  cat "$home/program.txt" >&2
  echo "--- its log:" >&2
  cat "$TMPDIR"/Tavrik_Server_Crypt-*/Tavrik_Server_Crypt_Z.log >&2 2>/dev/null || true
  fail "the installed Tavrik_Server_Crypt did not answer checkLs over TLS (got '$answer')"
fi
say "all checks of the installed packages passed"
