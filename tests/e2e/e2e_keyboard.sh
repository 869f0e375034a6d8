#!/usr/bin/env bash
# The password window never takes the keyboard back from another program:
# under a window manager, a second program focused while the password window
# waits keeps the keyboard and gets what is typed; back in the password window,
# the password opens the vault.   e2e_keyboard.sh PATH-TO-TRESSIK
set -uo pipefail
. "$(dirname "$0")/lib.sh"
begin "$@"
OTHER_PID=
trap '[ -n "$OTHER_PID" ] && kill "$OTHER_PID" 2>/dev/null; cleanup' EXIT
with_window_manager
echo -n "$(vault_hex abcd 'u|||p|||l')" | xxd -r -p >"$HOME_DIR/app/data.enc"

# stays_active ID SECONDS: the window stays the active one for that long.
stays_active() {
  throughout "$2" is_active "$1" ||
    fail "the keyboard went from $1 to $(xdotool getactivewindow) ($(xdotool getwindowname "$(xdotool getactivewindow)"))"
}

echo "the password window opens with the keyboard"
start
wait_started
w=$(wait_window "Password Required")
wait_active "$w"
stays_active "$w" 1

echo "another program takes the keyboard and keeps it"
xev -event keyboard -geometry 300x200+0+0 -name tressik-other >"$HOME_DIR/other.log" 2>&1 &
OTHER_PID=$!
other=$(wait_window "tressik-other")
xdotool windowactivate --sync "$other"
wait_active "$other"
stays_active "$other" 3
type_text "hello"
# presses: the keys the other program has seen pressed, in order.
presses() {
  awk '/KeyPress event/ {p = 1} p && /keysym/ {match($0, /, [a-z]\)/); printf "%s", substr($0, RSTART + 2, 1); p = 0}' \
    "$HOME_DIR/other.log"
}
presses_are() { [ "$(presses)" = "$1" ]; }
eventually presses_are hello || fail "the other program got '$(presses)', expected hello"
stays_active "$other" 2

echo "its own message box keeps the keyboard while open"
focus "$w"
wait_active "$w"
type_text "wrong"; key Return
box=$(wait_window "Incorrect Password")
wait_active "$box"
stays_active "$box" 2
key Return   # Retry
wait_gone "Incorrect Password"
wait_active "$w"

echo "back in the password window, the password opens the vault"
type_text "abcd"; key Return
wait_window "Tressik by" >/dev/null
kill "$OTHER_PID" 2>/dev/null
OTHER_PID=
echo "e2e keyboard: all passed"
