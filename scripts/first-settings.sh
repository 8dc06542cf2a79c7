#!/usr/bin/env bash
# Writes the program's first settings file, naming the Zorvik2 provider (it
# needs no vendor library), unless one exists. The folder is used only when
# it is what the program itself accepts: a real folder (not a link) owned by
# this user, closed to others. A shared temporary folder lets anyone plant a
# folder under our name first.
#   first-settings.sh   (the folder from TMPDIR, as the program finds it)
set -euo pipefail
work="${TMPDIR:-/tmp}/Tavrik_Server_Crypt-$(id -u)"
settings="$work/Ferrox_Tavrik_Server_Crypt.ini"

mkdir -m 700 "$work" 2>/dev/null || true
if [ -L "$work" ] || [ ! -d "$work" ] || [ "$(stat -c %u "$work")" != "$(id -u)" ]; then
  echo "Not writing settings: $work is not a folder of this user" >&2
  exit 1
fi
chmod 700 "$work"
if [ -e "$settings" ] || [ -L "$settings" ]; then
  exit 0
fi
(umask 077 && printf '[Tavrik_Server_Crypt Settings]\nautoStart=0\ndefaultProvider=Зорвик2\n' \
  >"$settings.new" && mv -f "$settings.new" "$settings")
echo "Made the settings file $settings (default provider: Зорвик2)"
