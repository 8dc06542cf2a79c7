#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs to build, test and run.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  libssl-dev openssl
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev libboost-dev nlohmann-json3-dev
  clang-format valgrind
  clang libclang-rt-14-dev
  curl wrk nginx fonts-dejavu-core xauth xvfb
  dbus-daemon desktop-file-utils
  python3 python3-selenium chromium chromium-driver libnss3-tools iproute2 util-linux passwd
  debhelper lintian scdoc
)

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  as_root apt-get update
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi
