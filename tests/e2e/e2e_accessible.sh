#!/usr/bin/env bash
# The program as a screen reader reads it through AT-SPI: the password boxes and
# what they give away, the list of entries, the editor opened through the Add
# button's action, and a name on every button.   e2e_accessible.sh PATH-TO-TRESSIK
set -uo pipefail
. "$(dirname "$0")/lib.sh"
under_xvfb "$@"
# A session bus of the test's own, so its accessibility bus holds this program
# only, whatever desktop the test is started from.
if [ -z "${TRESSIK_OWN_DBUS:-}" ]; then
  command -v dbus-run-session >/dev/null || fail "no dbus-run-session (package dbus-daemon)"
  command -v dbus-send >/dev/null || fail "no dbus-send (package dbus-bin)"
  TRESSIK_OWN_DBUS=1 exec dbus-run-session -- "$0" "$@"
fi
begin "$@"

# Debian's own Python: another one first on the PATH has no pyatspi.
PYTHON=/usr/bin/python3
CHECK="$(dirname "$0")/atspi_check.py"
LAUNCHER=/usr/libexec/at-spi-bus-launcher
[ -x "$LAUNCHER" ] || fail "no $LAUNCHER (package at-spi2-core)"
"$PYTHON" -c "import pyatspi" 2>/dev/null || fail "$PYTHON cannot import pyatspi (package python3-pyatspi)"

echo "the accessibility bus"
"$LAUNCHER" --launch-immediately >>"$HOME_DIR/bus.log" 2>&1 &
BUS_PID=$!
trap 'cleanup; kill "$BUS_PID" 2>/dev/null; wait "$BUS_PID" 2>/dev/null' EXIT
# Asked before the launcher owns its name, the session bus would start a second one.
launcher_up() {
  dbus-send --session --print-reply=literal --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2>/dev/null | grep -q true
}
a11y_bus() {
  dbus-send --session --print-reply=literal --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress 2>/dev/null | grep -q unix:
}
eventually launcher_up && a11y_bus ||
  fail "the AT-SPI bus cannot be reached: org.a11y.Bus does not answer on the session bus; launcher: $(cat "$HOME_DIR/bus.log")"
running "$BUS_PID" || fail "the AT-SPI bus launcher ended: $(cat "$HOME_DIR/bus.log")"
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1

# atspi STEP [ARG]: what atspi_check.py reads of the program in that step.
atspi() { "$PYTHON" "$CHECK" "$PID" "$@" || fail "what a screen reader reads is wrong in step '$1' (above)"; }

pw="Zq7-Lantern"
echo "first use: two password boxes, named, and never the typed characters"
start
password_window >/dev/null
type_text "$pw"; key Tab; type_text "$pw"
atspi first-use "$pw"
key Return
opened
# The boxes the check read held what was typed: it became the master password.
wait_bytes "$(scramble "$pw")0d0a"
focus "$main"
menu "$main" 15 1                                     # File, Exit
wait_exit

echo "a later start: one password box; unlocked, the list and the buttons"
start
password_window >/dev/null
atspi later-start
type_text "$pw"; key Return
opened
atspi main

echo "the editor, opened by the Add button's action"
atspi editor
e=$(wait_window "Add an entry")
click_twips "$e" 0 3420 1500 1155 1035                # Cancel
wait_gone "Add an entry"
focus "$main"
menu "$main" 15 1
wait_exit
expect_bytes "$(scramble "$pw")0d0a"
echo "e2e accessible: all passed"
