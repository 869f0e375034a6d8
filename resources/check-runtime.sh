#!/bin/sh
# Names the Debian packages this folder's programs need and this machine lacks.
# Exit status 0 when nothing is missing.   ./check-runtime.sh
here=$(cd "$(dirname "$0")" && pwd)

# Tressik itself: Qt Widgets with its X11 platform plugin and JPEG reader, and
# Qt's Wayland platform, so it runs natively on a Wayland desktop.
# The browser window (tressik-browser): Qt WebEngine, its helper process and data.
packages="libqt6widgets6 libqt6gui6 libqt6core6 qt6-wayland
libqt6webenginewidgets6 libqt6webenginecore6 libqt6webenginecore6-bin libqt6webengine6-data"

missing=""
if command -v dpkg-query >/dev/null 2>&1; then
  for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
  done
fi
# Whatever the package manager says, the loader has the last word.
unresolved=""
for exe in "$here/tressik" "$here/tressik-browser"; do
  [ -x "$exe" ] || continue
  libs=$(ldd "$exe" 2>/dev/null | awk '/not found/ {print $1}')
  [ -n "$libs" ] && unresolved="$unresolved $(basename "$exe"): $(echo $libs)"
done

if [ -z "$missing" ] && [ -z "$unresolved" ]; then
  echo "All the libraries Tressik needs are installed."
  exit 0
fi
[ -n "$missing" ] && {
  echo "Tressik needs these Debian packages, which are not installed:$missing"
  echo "Install them with:  sudo apt-get install$missing"
}
[ -n "$unresolved" ] && echo "Libraries the loader cannot find:$unresolved"
exit 1
