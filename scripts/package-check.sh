#!/usr/bin/env bash
# Builds the Debian packages, checks them with lintian, installs them into this
# machine, checks the installed system (tests/package/installed-checks.sh) and
# purges them again, making sure that nothing of theirs is left.
#   package-check.sh              build, lint, install, check, purge
#   package-check.sh --no-build   the same with the packages already in build-deb/
# It installs packages, so it needs root; TESSEL_SKIP_PACKAGE_CHECK=1 skips it
# (and says so). The packages are built from a copy of the work tree in
# build-deb/ (or $TESSEL_PACKAGE_DIR), without tests, two jobs at a time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${TESSEL_PACKAGE_DIR:-$root/build-deb}
packages=(libtessel1 libtessel-dev libengine-stb-openssl tessel-tokens tavrik-server-crypt)

say() { echo "package-check: $*"; }
fail() {
  echo "package-check: FAILED: $*" >&2
  exit 1
}

if [ "${TESSEL_SKIP_PACKAGE_CHECK:-}" = 1 ]; then
  say "SKIPPED (TESSEL_SKIP_PACKAGE_CHECK=1): the packages were neither built nor checked"
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  fail "needs root: it installs the packages into this machine and purges them again." \
    "Run it as root, or set TESSEL_SKIP_PACKAGE_CHECK=1 to skip it."
fi
for p in "${packages[@]}"; do
  if dpkg-query -W -f='${db:Status-Abbrev}' "$p" 2>/dev/null | grep -q '^.[^n]'; then
    fail "$p is installed already; this check would purge it at the end." \
      "Remove it first: dpkg --purge ${packages[*]}"
  fi
done

timings=()
timed() {  # timed NAME COMMAND...: runs it and notes its seconds
  local name=$1 start=$SECONDS
  shift
  "$@"
  timings+=("$name $((SECONDS - start)) s")
}

# 1. Build from a copy of the tree (dpkg-buildpackage writes beside the source).
build() {
  git -C "$root" rev-parse --git-dir >/dev/null 2>&1 ||
    fail "$root is not a git work tree: the sources to build are the files git knows"
  rm -rf "$out"
  mkdir -p "$out/src"
  git -C "$root" ls-files -z --cached --others --exclude-standard |
    tar -C "$root" --null --ignore-failed-read -T - -cf - | tar -C "$out/src" -xf -
  say "building the packages (log: $out/build.log)"
  if ! (cd "$out/src" &&
    DEB_BUILD_OPTIONS="nocheck parallel=2 noautodbgsym" dpkg-buildpackage -b -us -uc) \
    >"$out/build.log" 2>&1; then
    tail -n 30 "$out/build.log" | cut -c1-400 >&2
    fail "dpkg-buildpackage failed (whole log: $out/build.log)"
  fi
}
if [ "${1:-}" = --no-build ]; then
  say "checking the packages already built in $out"
else
  timed build build
fi

# 2. lintian at its default level: no error and no warning.
check_lintian() {
  say "lintian"
  local changes
  changes=$(ls "$out"/*.changes)
  if ! lintian --fail-on error,warning "$changes"; then
    fail "lintian reports errors or warnings (above)"
  fi
}
timed lintian check_lintian

# 3. What the packages hold, and what the filesystem looked like before.
debs=()
for p in "${packages[@]}"; do
  deb=$(ls "$out/${p}_"*.deb 2>/dev/null) || fail "there is no package $p in $out"
  debs+=("$deb")
done
snapshot() {  # the names below the folders packages write to (not this check's own), sorted
  find /usr /etc /opt /var/lib -xdev \( -path /var/lib/dpkg -o -path /var/lib/apt -o -path "$out" \) \
    -prune -o -print 2>/dev/null | LC_ALL=C sort
}
snapshot >"$out/files-before.txt"

installed=0
server_home=""
cleanup() {
  if [ "$installed" = 1 ]; then
    say "purging the packages after a failure"
    dpkg --purge "${packages[@]}" >/dev/null 2>&1 || true
  fi
  if [ -n "$server_home" ]; then rm -rf "$server_home"; fi
}
trap cleanup EXIT

install_packages() {
  say "installing ${packages[*]}"
  installed=1
  if ! dpkg -i "${debs[@]}" >"$out/install.log" 2>&1; then
    cat "$out/install.log" >&2
    fail "dpkg -i did not install the packages (missing dependencies are named above)"
  fi
  dpkg -L "${packages[@]}" | LC_ALL=C sort -u >"$out/dpkg-L.txt"
}
timed install install_packages

# 4. The installed system works.
server_home=$(mktemp -d /tmp/tessel-package-check.XXXXXX)
timed checks bash "$root/tests/package/installed-checks.sh" "$root" "$server_home"

# 5. Purged, nothing of theirs is left.
purge() {
  say "purging ${packages[*]}"
  dpkg --purge "${packages[@]}" >"$out/purge.log" 2>&1 || {
    cat "$out/purge.log" >&2
    fail "dpkg --purge failed"
  }
  installed=0
  for p in "${packages[@]}"; do
    if dpkg-query -W -f='${db:Status-Abbrev}' "$p" 2>/dev/null | grep -q '^.[^n]'; then
      fail "$p is still known to dpkg after the purge"
    fi
  done
  local left=()
  while IFS= read -r path; do
    [ "$path" != /. ] || continue
    [ -e "$path" ] || [ -L "$path" ] || continue
    # Folders that were there before belong to others too.
    if [ -d "$path" ] && grep -qxF -- "$path" "$out/files-before.txt"; then continue; fi
    left+=("$path")
  done <"$out/dpkg-L.txt"
  if [ ${#left[@]} -gt 0 ]; then
    printf '  %s\n' "${left[@]}" >&2
    fail "these files of the packages (dpkg -L) are still there after the purge"
  fi
  snapshot >"$out/files-after.txt"
  if ! diff "$out/files-before.txt" "$out/files-after.txt" >"$out/files-diff.txt"; then
    cat "$out/files-diff.txt" >&2
    fail "installing and purging changed the filesystem ('<' gone, '>' left behind)"
  fi
}
timed purge purge

say "passed (${timings[*]})"
