#!/usr/bin/env bash
# Under a Wayland compositor (weston, headless) the program runs natively, on
# Qt's own Wayland platform: it reaches its password window and says nothing
# of what Wayland ignores (centring, staying on top, taking activation); a
# termination signal ends it without touching the vault.
#   e2e_wayland.sh PATH-TO-TRESSIK
set -uo pipefail
here=$(dirname "$0")
. "$here/lib.sh"
PID="" WESTON_PID=""
trap 'kill $PID $WESTON_PID 2>/dev/null; cleanup' EXIT
new_install "$1"
unset DISPLAY
export XDG_RUNTIME_DIR="$HOME_DIR/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
socket=tressik-e2e
weston --backend=headless-backend.so --use-pixman --socket="$socket" --idle-time=0 >"$HOME_DIR/weston.log" 2>&1 &
WESTON_PID=$!
eventually test -S "$XDG_RUNTIME_DIR/$socket" || { cat "$HOME_DIR/weston.log" >&2; fail "weston did not start"; }

echo "a vault with a master password, opened natively"
printf '%s' "$(vault_hex abcd 'user|||pw|||example.org')" | xxd -r -p >"$HOME_DIR/app/data.enc"
before=$(vault_now)
WAYLAND_DISPLAY="$socket" QT_QPA_PLATFORM=wayland WAYLAND_DEBUG=1 "$APP" >"$HOME_DIR/out" 2>"$HOME_DIR/log" &
PID=$!
# The protocol log names every window the program gives the compositor.
eventually grep -q 'set_title("Password Required")' "$HOME_DIR/log" ||
  fail "the password window never reached the compositor"
running "$PID" || fail "the program ended"

echo "nothing said but the protocol log"
said=$(grep -v '^\[ *[0-9.]*\] ' "$HOME_DIR/log"; cat "$HOME_DIR/out")
[ -z "$said" ] || fail "the program said: $said"

echo "a termination signal ends it, the vault as it was"
kill -TERM "$PID"
wait_ended "$PID" "the program"
wait "$PID"
[ $? -eq 143 ] || fail "the program did not end by the signal"
PID=""
[ "$(vault_now)" = "$before" ] || fail "the vault changed"
echo "e2e wayland: all passed"
