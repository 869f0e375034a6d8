#!/bin/sh
# Adds Tressik from this folder to the desktop's application menu.
set -e
here=$(cd "$(dirname "$0")" && pwd)
apps="${XDG_DATA_HOME:-$HOME/.local/share}/applications"
mkdir -p "$apps"
sed -e "s|^Exec=.*|Exec=\"$here/tressik\"|" -e "s|^Icon=.*|Icon=$here/tressik.png|" \
  "$here/tressik.desktop" > "$apps/tressik.desktop"
echo "Added $apps/tressik.desktop"
