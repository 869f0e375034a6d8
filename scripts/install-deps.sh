#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Tressik need.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-webengine-dev-tools libgl-dev qt6-wayland
  libbenchmark-dev
  libxcb1-dev xvfb xauth xdotool xclip x11-utils wmctrl openbox imagemagick fonts-dejavu-core xxd
  cppcheck clang-tidy clang-format
  weston dbus-daemon dbus-bin at-spi2-core python3-pyatspi orca inotify-tools
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -eq 0 ]; then
  echo "All build packages are installed."
  exit 0
fi

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "Installing: ${missing[*]}"
$SUDO apt-get update
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
