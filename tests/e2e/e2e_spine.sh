#!/usr/bin/env bash
# First use, unlock, three wrong passwords and a second copy, on the real
# program under Xvfb.   e2e_spine.sh PATH-TO-TRESSIK
set -uo pipefail
here=$(dirname "$0")
. "$here/lib.sh"
under_xvfb "$@"
trap cleanup EXIT
new_install "$1"

echo "first use: create a master password"
first_use abcd
wait_bytes "e1e2e3e40d0a"
[ "$(stat -c %a "$HOME_DIR/app/data.enc")" = 600 ] || fail "the new vault is not owner-only"
echo "File, Exit"
focus "$main"
menu "$main" 15 1
wait_exit
expect_bytes "e1e2e3e40d0a"

echo "second start: unlock"
unlock abcd
echo "a second copy is turned away"
"$APP" >>"$HOME_DIR/log" 2>&1 &
second=$!
wait_box "^Tressik$" >/dev/null
key Return
for _ in $(seq 1 "$WAIT_STEPS"); do kill -0 "$second" 2>/dev/null || break; sleep 0.05; done
kill -0 "$second" 2>/dev/null && fail "the second copy is still running"
wait "$second" || fail "the second copy ended with an error"
kill -0 "$PID" 2>/dev/null || fail "the first copy ended too"
focus "$main"
menu "$main" 15 1
wait_exit
expect_bytes "e1e2e3e40d0a"

echo "third start: three wrong passwords"
start
w=$(password_window)
for attempt in 1 2 3; do
  focus "$w"
  type_text "wrong$attempt"; key Return
  wait_box "Incorrect Password" >/dev/null
  key Return   # Retry
  wait_gone "Incorrect Password"
done
wait_box "^Tressik$" >/dev/null
key Return
wait_exit
expect_bytes "e1e2e3e40d0a"
echo "e2e spine: all passed"
