#!/usr/bin/env bash
# The install rules, without root: installs this build into a staging folder
# (DESTDIR) and checks what lands where and that it works from there.
#   install_layout_test.sh BUILD_DIR SOURCE_DIR
# The install folders come from the environment (set by CTest from the build's
# configuration): PREFIX BINDIR LIBDIR INCLUDEDIR DATADIR MANDIR SYSCONFDIR
# ENGINESDIR, all absolute; SANITIZER_RUNTIME, in a sanitized build, the
# runtime that plain programs need preloaded to load its libraries.
set -euo pipefail
build=$1
source=$2
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
empty_bash256=114c3dfae373d9bcbc3602d6386f2d6a2059ba1bf9048dbaa5146a6cb775709d
failures=0
fail() {
  echo "FAILED: $*" >&2
  failures=$((failures + 1))
}
# Runs a plain program that loads libraries of this build.
plain() {
  if [ -n "${SANITIZER_RUNTIME:-}" ]; then
    LD_PRELOAD=$SANITIZER_RUNTIME ASAN_OPTIONS=detect_leaks=0 "$@"
  else
    "$@"
  fi
}

DESTDIR=$stage cmake --install "$build" >/dev/null
private=$LIBDIR/tessel

# Exactly these files: no test, benchmark or fuzz program, no static library.
expected=(
  "$BINDIR/Tavrik_Server_Crypt" "$BINDIR/tessel-token"
  "$LIBDIR/libtessel.so" "$LIBDIR/libtessel.so.1" "$LIBDIR/libtessel.so.1.0.0"
  "$LIBDIR/pkgconfig/libtessel.pc"
  "$INCLUDEDIR/libtessel/tessel.h" "$INCLUDEDIR/libtessel/tessel_status.h"
  "$ENGINESDIR/stb.so" "$SYSCONFDIR/tessel/openssl-stb.cnf"
  "$private/libzorvik.so" "$private/libPexlo.so" "$private/libAvCryptMail.so"
  "$private/TokenWatcher" "$private/Signkit/sign" "$private/tessel-askpass"
  "$private/elevate" "$private/TokenDriverHost"
  "$DATADIR/applications/tavrik-server-crypt.desktop"
  "$DATADIR/icons/hicolor/scalable/apps/tavrik-server-crypt.svg"
  "$DATADIR/tavrik-server-crypt/Tavrik_Server_Crypt.autostart"
)
if [ -n "${MANDIR:-}" ]; then
  expected+=("$MANDIR/man1/Tavrik_Server_Crypt.1" "$MANDIR/man1/tessel-token.1")
fi
got=$(cd "$stage" && find . ! -type d | sed 's/^\.//' | LC_ALL=C sort)
want=$(printf '%s\n' "${expected[@]}" | LC_ALL=C sort)
if [ "$got" != "$want" ]; then
  fail "installed files differ from the expected ones ('<' expected, '>' installed):"
  diff <(echo "$want") <(echo "$got") >&2 || true
fi

# libtessel: SONAME, and the same 73 names in the version script, the
# library's dynamic symbol table and the Debian symbols file.
library=$stage$LIBDIR/libtessel.so.1.0.0
readelf -d "$library" | grep -q 'Library soname: \[libtessel.so.1\]' || fail "libtessel's SONAME is not libtessel.so.1"
from_map=$(grep -E '^\s+[A-Za-z_0-9]+;' "$source/libtessel/exports.map" | tr -d ' ;' | LC_ALL=C sort)
from_library=$(nm -D --defined-only "$library" | awk '{print $3}' | LC_ALL=C sort)
from_symbols=$(sed -n 's/^ \([A-Za-z_0-9]*\)@Base .*/\1/p' "$source/debian/libtessel1.symbols" | LC_ALL=C sort)
[ "$(echo "$from_map" | wc -l)" = 73 ] || fail "exports.map does not list 73 functions"
[ "$from_library" = "$from_map" ] || fail "libtessel exports other names than exports.map lists"
[ "$from_symbols" = "$from_map" ] || fail "debian/libtessel1.symbols lists other names than exports.map"

# Run paths: the program reaches the private folder relative to itself;
# nothing points back into the build tree.
runpath=$(readelf -d "$stage$BINDIR/Tavrik_Server_Crypt" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')
[ "$(realpath -m "$BINDIR/${runpath#\$ORIGIN/}")" = "$private" ] ||
  fail "Tavrik_Server_Crypt's RUNPATH '$runpath' does not lead to $private"
while IFS= read -r elf; do
  if readelf -d "$elf" | grep -E '\((RPATH|RUNPATH)\)' | grep -qF "$build"; then
    fail "${elf#"$stage"} keeps a run path into the build tree"
  fi
done < <(find "$stage" -type f -exec sh -c 'head -c4 "$1" | grep -q ELF' _ {} \; -print)
found=$(LD_LIBRARY_PATH=$stage$LIBDIR ldd "$stage$BINDIR/Tavrik_Server_Crypt" |
  sed -n 's/.*libzorvik.so => \(.*\) (.*/\1/p')
if [ -z "$found" ] || [ "$(realpath "$found")" != "$stage$private/libzorvik.so" ]; then
  fail "the staged program does not find libzorvik.so in its private folder (ldd: '$found')"
fi

# A developer's program through the staged pkg-config file.
export PKG_CONFIG_SYSROOT_DIR=$stage PKG_CONFIG_LIBDIR=$stage$LIBDIR/pkgconfig
# shellcheck disable=SC2046  # pkg-config's flags are separate words
# A sanitized library names the sanitizer runtime, which only the preload brings.
link_extra=()
[ -n "${SANITIZER_RUNTIME:-}" ] && link_extra=(-Wl,--allow-shlib-undefined)
if cc -Wall -Wextra -Werror -o "$stage/sign_client" "$source/tests/package/sign_client.c" \
  $(pkg-config --cflags --libs libtessel) "${link_extra[@]}"; then
  LD_LIBRARY_PATH=$stage$LIBDIR plain "$stage/sign_client" >/dev/null || fail "the C client failed"
else
  fail "the C client does not build with the staged pkg-config libtessel"
fi

# The engine by its id from the engines folder, directly and through the
# configuration file.
digest_of_nothing() { printf '' | "$@" 2>&1 | grep -o '[0-9a-f]\{64\}' || true; }
export OPENSSL_ENGINES=$stage$ENGINESDIR
[ "$(digest_of_nothing plain openssl dgst -engine stb -bash256)" = "$empty_bash256" ] ||
  fail "openssl dgst -engine stb -bash256 does not give the standard's digest"
[ "$(OPENSSL_CONF=$stage$SYSCONFDIR/tessel/openssl-stb.cnf digest_of_nothing plain openssl dgst -bash256)" = \
  "$empty_bash256" ] || fail "openssl-stb.cnf does not load the engine"

# The menu entry, the autostart command line and the manual pages.
desktop-file-validate "$stage$DATADIR/applications/tavrik-server-crypt.desktop" ||
  fail "desktop-file-validate rejects the desktop file"
[ "$(grep -v '^#' "$stage$DATADIR/tavrik-server-crypt/Tavrik_Server_Crypt.autostart")" = \
  "$BINDIR/Tavrik_Server_Crypt" ] || fail "the autostart command file does not name the installed program"
if [ -n "${MANDIR:-}" ]; then
  for page in "$stage$MANDIR"/man1/*.1; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "${page##*/} renders with warnings: $warnings"
  done
fi

if [ "$failures" -gt 0 ]; then exit 1; fi
echo "install layout: ${#expected[@]} files, all checks passed"
