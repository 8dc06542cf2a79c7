#!/usr/bin/env bash
# Writes the program's first settings file, naming the Zorvik2 provider (it
# needs no vendor library), unless one exists. It goes into the settings
# folder $XDG_CONFIG_HOME/Tavrik_Server_Crypt/ (default ~/.config/...), which
# is used only when it is what the program itself accepts: a real folder (not
# a link) owned by this user, closed to others. Nothing is written while an
# older version's settings file is still in the temporary folder: the program
# moves that one over at its next start.
#   first-settings.sh   (the folders from XDG_CONFIG_HOME and TMPDIR, as the program finds them)
set -euo pipefail
config="${XDG_CONFIG_HOME:-$HOME/.config}"
folder="$config/Tavrik_Server_Crypt"
settings="$folder/Ferrox_Tavrik_Server_Crypt.ini"
old_settings="${TMPDIR:-/tmp}/Tavrik_Server_Crypt-$(id -u)/Ferrox_Tavrik_Server_Crypt.ini"

[ -d "$config" ] || mkdir -p -m 700 "$config"
mkdir -m 700 "$folder" 2>/dev/null || true
if [ -L "$folder" ] || [ ! -d "$folder" ] || [ "$(stat -c %u "$folder")" != "$(id -u)" ]; then
  echo "Not writing settings: $folder is not a folder of this user" >&2
  exit 1
fi
chmod 700 "$folder"
if [ -e "$settings" ] || [ -L "$settings" ] || [ -e "$old_settings" ]; then
  exit 0
fi
(umask 077 && printf '[Tavrik_Server_Crypt Settings]\nautoStart=false\ndefaultProvider=Зорвик2\n' \
  >"$settings.new" && mv -f "$settings.new" "$settings")
echo "Made the settings file $settings (default provider: Зорвик2)"
