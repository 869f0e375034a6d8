#!/usr/bin/env bash
# The program as a screen reader meets it, read and heard through AT-SPI while
# the real screen reader Orca listens too: what the password boxes send while a
# password is typed, the windows' roles and the text they are read with, the
# status line's announcements, the list as it gets the focus, and a name on
# every button.   e2e_accessible.sh PATH-TO-TRESSIK
set -uo pipefail
. "$(dirname "$0")/lib.sh"
under_xvfb "$@"
# A session bus of the test's own, so its accessibility bus holds this program
# and Orca only, whatever desktop the test is started from.
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
command -v orca >/dev/null || fail "no orca (package orca)"
command -v script >/dev/null || fail "no script (package bsdutils)"

echo "the accessibility bus"
"$LAUNCHER" --launch-immediately >>"$HOME_DIR/bus.log" 2>&1 &
BUS_PID=$!
SCRIPT_PID=
LISTENER=
# stop_orca: ends Orca, and with it the terminal its log is written from.
stop_orca() {
  [ -n "$SCRIPT_PID" ] || return 0
  local orca
  orca=$(pgrep -P "$SCRIPT_PID")
  [ -n "$orca" ] && kill -KILL $orca 2>/dev/null
  wait "$SCRIPT_PID" 2>/dev/null
  SCRIPT_PID=
}
# busy N: N processes that keep the cores busy, as a build beside the test
# would, for two minutes at most; quiet ends them.
BUSY=()
busy() {
  local _
  for _ in $(seq "$1"); do timeout 120 sh -c 'while :; do :; done' & BUSY+=($!); done
}
quiet() {
  [ "${#BUSY[@]}" -eq 0 ] && return 0
  kill "${BUSY[@]}" 2>/dev/null
  wait "${BUSY[@]}" 2>/dev/null
  BUSY=()
}
stop_all() {
  quiet
  [ -n "$LISTENER" ] && kill "$LISTENER" 2>/dev/null
  stop_orca
  cleanup
  kill "$BUS_PID" 2>/dev/null
  wait "$BUS_PID" 2>/dev/null
}
trap stop_all EXIT
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

# Orca, silent: what it would say goes to its debug log, which it writes to a
# terminal of its own so each line is there at once. It never starts a speech
# server, and a user's running one is not found.
ORCA_LOG="$HOME_DIR/orca.log"
echo "Orca"
mkdir -p "$HOME_DIR/orca"
HOME="$HOME_DIR/orca" SPEECHD_CMD=/bin/false SPEECHD_ADDRESS="unix_socket:$HOME_DIR/orca/none" \
  script -qfec "exec orca --user-prefs '$HOME_DIR/orca' --disable main-window --disable splash-window --debug-file /dev/tty" \
  "$ORCA_LOG" </dev/null >/dev/null 2>&1 &
SCRIPT_PID=$!
# orca_count TEXT: how many times Orca has said something holding TEXT (a pattern).
orca_count() {
  local n
  n=$(grep -ac "SPEECH OUTPUT: '.*$1" "$ORCA_LOG" 2>/dev/null)
  echo "${n:-0}"
}
# orca_says TEXT N: waits until it has said so N times. Orca follows the
# program at its own pace: what it says next comes after all it said before.
orca_has_said() { [ "$(orca_count "$1")" -ge "$2" ]; }
orca_says() {
  eventually orca_has_said "$1" "$2" ||
    fail "Orca did not say '$1' $2 times; it said: $(grep -a 'SPEECH OUTPUT' "$ORCA_LOG" | tail -5)"
}
orca_says "Screen reader on" 1
# orca_echoes KEY: how many times Orca has echoed that key alone; orca_echoed
# KEY N: more than N times.
orca_echoes() {
  local n
  n=$(grep -ac "SPEECH OUTPUT: '$1 '" "$ORCA_LOG" 2>/dev/null)
  echo "${n:-0}"
}
orca_echoed() { [ "$(orca_echoes "$1")" -gt "$2" ]; }

# atspi STEP [ARG]: what atspi_check.py reads of the program in that step.
atspi() { "$PYTHON" "$CHECK" "$PID" "$@" || fail "what a screen reader reads is wrong in step '$1' (above)"; }
# listen STEP [ARG...]: a step that listens to the program, in the background
# from before it starts until it has ended; it tells what it has heard so far.
# start_program: starts the program and tells the listener its process id.
PID_FILE="$HOME_DIR/pid"
listen() {
  HEARD="$HOME_DIR/heard.$1"
  rm -f "$PID_FILE"
  "$PYTHON" "$CHECK" "$PID_FILE" "$@" >"$HEARD" 2>&1 &
  LISTENER=$!
  LISTENING=$1
  heard ready
}
start_program() {
  start
  echo "$PID" >"$PID_FILE"
}
heard_or_ended() { grep -qx "$1" "$HEARD" || ended "$LISTENER"; }
# heard MARK: the listener has heard what it waits for up to that mark.
heard() {
  eventually heard_or_ended "$1"
  grep -qx "$1" "$HEARD" || fail "in step '$LISTENING', what comes before '$1' never came: $(cat "$HEARD")"
}
# heard_all: the program has ended, and the listener has heard all it waits
# for, and nothing it must not.
heard_all() {
  eventually ended "$LISTENER" || fail "step '$LISTENING' is still listening: $(cat "$HEARD")"
  wait "$LISTENER" || fail "what the program sent is wrong in step '$LISTENING': $(cat "$HEARD")"
  LISTENER=
}

# No text of the program holds any of these characters, so an event or a word
# of Orca's that does gives the typed password away.
pw="QZ7XJ9"
wrong="QZ7XJ8"
# types TEXT: typed at a quick typist's pace. The password steps type on a busy
# machine and press Return at once, as people do: a screen reader that falls
# behind the keys meets them once the next window has come.
types() { TYPE_DELAY=70 type_text "$1"; }

echo "first use: a dialog with its instruction; typing sends only the mask"
boxes=$(orca_count "password text")
listen first-use "$pw"
start_program
password_window >/dev/null
heard window
orca_says "dialog Because this is the first time you have used Tressik" 1
orca_says "password text" $((boxes + 1))      # Orca is in the box: it echoes no key of its own
busy 3
types "$pw"
heard "first box"
key Tab; types "${pw}Q"; key BackSpace Return
heard typed
quiet
opened
focus "$main"                                 # as a window manager does with a new window
heard announced                               # the status line told of the new password
orca_says "Password created successfully" 1
# The boxes the check read held what was typed: it became the master password.
wait_bytes "$(scramble "$pw")0d0a"
menu "$main" 15 1                             # File, Exit
wait_exit
heard_all

echo "a later start: a wrong password, refused and cleared, then the right one"
boxes=$(orca_count "password text")
listen later-start "$wrong" "$pw" alice
start_program
w=$(password_window)
heard window
orca_says "dialog Please enter your password" 1
orca_says "password text" $((boxes + 1))
busy 3
types "$wrong"; key Return
wait_box "Incorrect Password" >/dev/null
heard refused
orca_says "Sorry, the password you entered was not correct." 1
key Return                                    # Retry
heard cleared
wait_gone "Incorrect Password"
focus "$w"                                    # as a window manager gives it back the keyboard
orca_says "password text" $((boxes + 2))
types "$pw"; key Return
heard typed
quiet
opened
focus "$main"
heard announced
orca_says "Loaded 0 entries" 1
atspi main

echo "the status line and the list, empty and with an entry; the editor"
copy_username() {
  focus "$main"
  click_twips "$main" "$off" 60 1140 2355 795   # Copy Username: nothing is selected
}
copy_username
orca_says "You must first select a row to copy from." 1
key shift+Tab                                 # back to the list
heard empty
orca_says "The list is empty." 1
atspi editor
e=$(wait_window "Add an entry")
focus "$e"
click_twips "$e" 0 1320 60 3255 315           # txtUsername
echoed_m=$(orca_echoes m)
type_text alice; key Tab; type_text s3cret; key Tab; type_text example.com
# Orca drops the notifications it has queued when it falls more than 50 events
# behind, as it can here on a busy machine; it has caught up once it has echoed
# the last key.
eventually orca_echoed m "$echoed_m" || fail "Orca did not echo the last key typed into the editor"
key Return
wait_gone "Add an entry"
focus "$main"
heard added
orca_says "Added new entry.  Data saved." 1
copy_username
key shift+Tab
heard entry
orca_says 'alice\.' 1                              # the row under the cursor, after the list itself
focus "$main"
menu "$main" 15 1
wait_exit
heard_all
expect_bytes "$(vault_hex "$pw" "alice|||s3cret|||example.com")"

echo "what Orca said"
stop_orca
# What is said once is said once, however late Orca comes to it.
for once in "Password created successfully" "Loaded 0 entries" "Added new entry.  Data saved."; do
  [ "$(orca_count "$once")" -eq 1 ] || fail "Orca said '$once' $(orca_count "$once") times, expected once"
done
"$PYTHON" "$CHECK" - spoken "$ORCA_LOG" "$pw" "$wrong" || fail "what Orca said is wrong (above)"
echo "e2e accessible: all passed"
