#!/usr/bin/env bash
# The in-app browser window, which runs in a process of its own: opened from
# the main window and the about window, one window and one process however
# often it is asked for, a fresh process once closed, the program living on
# for it after File, Exit, and going with the program however that ends.
#   e2e_browser.sh PATH-TO-TRESSIK
set -uo pipefail
. "$(dirname "$0")/lib.sh"
begin "$@"
trap 'kill -9 $(browser_pids) 2>/dev/null; cleanup' EXIT
[ -x "$HOME_DIR/app/tressik-browser" ] || fail "tressik-browser is not beside tressik"
export QTWEBENGINE_DISABLE_SANDBOX=1 QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu
mkdir -p "$XDG_CONFIG_HOME/Tressik"
printf '[Settings]\nshowHelp=0\n' >"$XDG_CONFIG_HOME/Tressik/Tressik.ini"
with_window_manager

count() { browser_pids | wc -l; }
count_is() { [ "$(count)" -eq "$1" ]; }
# wait_browser_count N: waits until the program has N browser processes.
wait_browser_count() { eventually count_is "$1" || fail "the program has $(count) browser processes, expected $1"; }
website_button() { focus "$main"; click_twips "$main" "$off" 4860 60 4095 1035; }

echo "the web site button opens the browser window in a process of its own"
first_use abcd
website_button
browser=$(browser_window)
first_pid=$(browser_pids)
[ "$(count)" -eq 1 ] || fail "$(count) browser processes"
grep -q WebEngine "/proc/$PID/maps" && fail "the program itself has loaded the web engine"

echo "asked again, from both places: still one window, one process"
# Each request brings the one window forward: once it is active, the request
# has been handled, and a second process or window would be there.
website_button
wait_active "$browser"
focus "$main"
menu "$main" 190 1
about=$(wait_window "About Tressik")
focus "$about"
click_twips "$about" 0 2580 2100 4635 315             # lblWebsite
wait_active "$browser"
[ "$(count)" -eq 1 ] || fail "$(count) browser processes after asking again"
[ "$(browser_pids)" = "$first_pid" ] || fail "the browser process changed"
[ "$(xdotool search --onlyvisible --pid "$first_pid" 2>/dev/null | wc -l)" -eq 1 ] || fail "more than one browser window"
close_window "About Tressik"

echo "closed, the browser process ends and the program goes on; opened again, it is new"
wmctrl -i -c "$browser" || fail "cannot close the browser window"
wait_browser_count 0
running "$PID" || fail "the program ended with the browser window"
wait_window "Tressik by" >/dev/null
website_button
browser=$(browser_window)
second_pid=$(browser_pids)
[ "$second_pid" != "$first_pid" ] || fail "the old browser process was reused"

echo "File, Exit with the browser shown: the program lives on until the browser closes, and lets the vault go"
focus "$main"
menu "$main" 15 1
wait_gone "Tressik by"
throughout 1 running "$PID" || fail "the program ended with the browser still open"
[ "$(count)" -eq 1 ] || fail "the browser went with the main window"
eventually test ! -e "$HOME_DIR/app/data.enc.lock" || fail "the lock stayed with the browser"
first=$PID
unlock abcd                                           # a new start opens the vault at once
[ "$(pgrep -P "$first" -x tressik-browser)" = "$second_pid" ] || fail "the browser went when the vault was opened again"
running "$first" || fail "the first copy ended"
wmctrl -i -c "$browser" || fail "cannot close the browser window"
wait_ended "$first" "the first copy, after its browser closed,"
wait "$first" || fail "the first copy ended with an error"
wait_ended "$second_pid" "the browser process, after the program ended,"
running "$PID" || fail "the second copy ended with the first"
focus "$main"
menu "$main" 15 1
wait_exit

echo "the browser never outlives the program, even a killed one"
unlock abcd
website_button
browser=$(browser_window)
orphan=$(browser_pids)
kill -9 "$PID"
wait_ended "$orphan" "the browser, outliving the program,"
[ -z "$(xdotool search --onlyvisible --pid "$orphan" 2>/dev/null)" ] || fail "the browser window stayed"
PID=""

# stand_in SCRIPT: puts a stand-in browser in the real one's place.
stand_in() {
  printf '#!/bin/sh\n%s\n' "$1" >"$HOME_DIR/app/tressik-browser"
  chmod +x "$HOME_DIR/app/tressik-browser"
}

echo "a browser that never answers: File, Exit ends the program at once, and the browser with it"
stand_in 'while :; do sleep 1; done'
unlock abcd
website_button
wait_browser_count 1
hung=$(browser_pids)
focus "$main"
menu "$main" 15 1
wait_exit
wait_ended "$hung" "the browser that never answered"

echo "a browser that says it closed but stays: the program never waits for it"
stand_in "echo shown; sleep 0.3; echo closed; : >'$HOME_DIR/said-closed'; while :; do sleep 1; done"
unlock abcd
website_button
wait_browser_count 1
lingering=$(browser_pids)
eventually test -e "$HOME_DIR/said-closed" || fail "the stand-in never said closed"
website_button                                        # a new one; the old one is not waited for
focus "$main"
menu "$main" 190 1
WAIT_STEPS=20 wait_window "About Tressik" >/dev/null  # at once: nothing froze
close_window "About Tressik"
wait_ended "$lingering" "the browser that stayed"     # killed after its grace time
running "$PID" || fail "the program ended"
focus "$main"
menu "$main" 15 1
wait_exit
wait_ended "$(pgrep -f "$HOME_DIR/app/tressik-browser" | head -1)" "the second stand-in"
echo "e2e browser: all passed"
