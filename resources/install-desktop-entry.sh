#!/bin/sh
# Adds Tressik from this folder to the desktop's application menu, after
# checking that the libraries it needs are installed.
set -e
here=$(cd "$(dirname "$0")" && pwd)
if ! "$here/check-runtime.sh"; then
  echo "Tressik will not start until they are installed; the menu entry is added all the same."
fi
apps="${XDG_DATA_HOME:-$HOME/.local/share}/applications"
mkdir -p "$apps"
sed -e "s|^Exec=.*|Exec=\"$here/tressik\"|" -e "s|^Icon=.*|Icon=$here/tressik.png|" \
  "$here/tressik.desktop" > "$apps/tressik.desktop"
echo "Added $apps/tressik.desktop"
