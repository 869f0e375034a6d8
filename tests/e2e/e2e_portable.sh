#!/usr/bin/env bash
# The portable folder: installed anywhere, it runs and keeps data.enc beside
# itself; on a read-only folder it says so at start.   e2e_portable.sh BUILD-DIR
set -uo pipefail
here=$(dirname "$0")
. "$here/lib.sh"
under_xvfb "$@"
build=$1
HOME_DIR=$(mktemp -d /tmp/tressik-portable.XXXXXX)
mounted=""
cleanup_portable() {
  # The program must be gone before its folder can be unmounted.
  [ -n "${PID:-}" ] && { kill "$PID" 2>/dev/null; wait "$PID" 2>/dev/null; }
  [ -n "${WM_PID:-}" ] && kill "$WM_PID" 2>/dev/null
  [ -n "$mounted" ] && { umount "$mounted" 2>/dev/null || umount -l "$mounted"; }
  rm -rf "$HOME_DIR"
}
trap cleanup_portable EXIT
export XDG_CONFIG_HOME="$HOME_DIR/config"
with_window_manager

echo "install into a folder of our choice"
cmake --install "$build" --prefix "$HOME_DIR/Tressik" >/dev/null || fail "cmake --install failed"
for f in tressik tressik-browser Help.rtf tressik.desktop tressik.png install-desktop-entry.sh check-runtime.sh \
  pictures/splash.jpg; do
  [ -e "$HOME_DIR/Tressik/$f" ] || fail "the folder lacks $f"
done

echo "the folder names the Debian packages it lacks"
"$HOME_DIR/Tressik/check-runtime.sh" >/dev/null || fail "check-runtime.sh finds something missing on the build machine"
mkdir -p "$HOME_DIR/stub"
cat >"$HOME_DIR/stub/dpkg-query" <<'STUB'
#!/bin/sh
# As if the web engine's helper process and the X11 plugin's package were not installed.
for p; do :; done
case "$p" in libqt6webenginecore6-bin|libqt6gui6) echo "unknown ok not-installed" ;; *) echo "install ok installed" ;; esac
STUB
chmod +x "$HOME_DIR/stub/dpkg-query"
said=$(PATH="$HOME_DIR/stub:$PATH" "$HOME_DIR/Tressik/check-runtime.sh") && fail "check-runtime.sh missed the missing packages"
echo "$said" | grep -qx "Install them with:  sudo apt-get install libqt6gui6 libqt6webenginecore6-bin" ||
  fail "check-runtime.sh said: $said"

APP="$HOME_DIR/Tressik/tressik"
first_use abcd
wait_window "Readme/Help" >/dev/null   # Help.rtf lies beside it, so the help opens
close_window "Readme/Help"
focus "$main"
menu "$main" 15 1
wait_exit
[ "$(xxd -p "$HOME_DIR/Tressik/data.enc")" = "e1e2e3e40d0a" ] || fail "data.enc is not beside the program"

echo "a read-only folder is reported at start"
ro="$HOME_DIR/ro"
mkdir -p "$ro"
if mount -t tmpfs -o size=64m tressik-ro "$ro" 2>/dev/null; then
  mounted="$ro"
  cp -a "$HOME_DIR/Tressik/." "$ro/"
  mount -o remount,ro "$ro" || fail "cannot make the folder read-only"
  APP="$ro/tressik"
  start
  wait_box "^Tressik$" >/dev/null
  key Return
  password_window >/dev/null             # the vault can still be opened
  type_text "abcd"; key Return
  opened
  wait_window "Readme/Help" >/dev/null
  close_window "Readme/Help"
  focus "$main"
  menu "$main" 15 1
  wait_exit
else
  echo "(cannot mount a tmpfs here: read-only part skipped)"
fi
echo "e2e portable: all passed"
