#!/usr/bin/env bash
# First use, unlock, three wrong passwords and a second copy, on the real
# program under Xvfb.   e2e_spine.sh PATH-TO-TRESSIK
set -uo pipefail
. "$(dirname "$0")/lib.sh"
begin "$@"

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
wait_ended "$second" "the second copy"
wait "$second" || fail "the second copy ended with an error"
running "$PID" || fail "the first copy ended too"
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

echo "a lock left by a copy on another computer: asked, No by default"
printf '4242\nTressik\nthe-other-laptop\n' >"$HOME_DIR/app/data.enc.lock"
touch -d "2026-11-30 18:05:07" "$HOME_DIR/app/data.enc.lock"
start
wait_box "^Tressik$" >/dev/null
key Return                                            # No
wait_exit
grep -q the-other-laptop "$HOME_DIR/app/data.enc.lock" || fail "the other computer's lock was touched"
start
wait_box "^Tressik$" >/dev/null
key Escape                                            # No as well
wait_exit
start
wait_box "^Tressik$" >/dev/null
key Tab Return                                        # Yes
w=$(password_window)
grep -q "^$(hostname)\$" "$HOME_DIR/app/data.enc.lock" || fail "the lock was not taken over"
type_text abcd; key Return
opened
focus "$main"
menu "$main" 15 1
wait_exit
expect_bytes "e1e2e3e40d0a"
[ -e "$HOME_DIR/app/data.enc.lock" ] && fail "the lock stayed after the end"

echo "a vault link that leads nowhere (the stick not plugged in) is told and left as it is"
mv "$HOME_DIR/app/data.enc" "$HOME_DIR/vault"
ln -s "$HOME_DIR/stick/data.enc" "$HOME_DIR/app/data.enc"
start
wait_box "^Tressik$" >/dev/null
no_window_named "Password Required" || fail "the password window opened on a link that leads nowhere"
key Return
wait_exit
[ "$(readlink "$HOME_DIR/app/data.enc")" = "$HOME_DIR/stick/data.enc" ] || fail "the link was replaced"
[ -e "$HOME_DIR/stick" ] && fail "something was made where the link points"
echo "plugged in, the link works as before"
mkdir "$HOME_DIR/stick"
mv "$HOME_DIR/vault" "$HOME_DIR/stick/data.enc"
unlock abcd
focus "$main"
menu "$main" 15 1
wait_exit
[ -L "$HOME_DIR/app/data.enc" ] || fail "the link was replaced"
expect_bytes "e1e2e3e40d0a"

echo "as an ordinary user: no core file, and other programs of that user cannot look inside"
user_dir=$(mktemp -d /tmp/tressik-user.XXXXXX)
trap 'cleanup; rm -rf "$user_dir"' EXIT
mkdir -p "$user_dir/app" "$user_dir/cores"
cp "$APP" "$user_dir/app/"
chmod 755 "$user_dir"
chown -R 65534:65534 "$user_dir"
as_user() { setpriv --reuid=65534 --regid=65534 --clear-groups "$@"; }
(cd "$user_dir/cores" && ulimit -c unlimited &&
  exec env HOME="$user_dir" XDG_CONFIG_HOME="$user_dir/config" setpriv --reuid=65534 --regid=65534 --clear-groups \
    "$user_dir/app/tressik") >>"$HOME_DIR/log" 2>&1 &
PID=$!
wait_started
grep -Eq "^Max core file size +0 +0 " "/proc/$PID/limits" || fail "core files are allowed: $(grep core "/proc/$PID/limits")"
as_user cat "/proc/$PID/environ" >/dev/null 2>&1 && fail "another process of the same user can read the program's memory"
# The same user's ordinary process can be read, and dumps a core: the checks can fail.
(cd "$user_dir/cores" && ulimit -c unlimited && exec setpriv --reuid=65534 --regid=65534 --clear-groups sleep 60) &
control=$!
eventually as_user cat "/proc/$control/environ" >/dev/null 2>&1 || fail "the check cannot read even an ordinary process"
kill -SEGV "$control"; wait "$control" 2>/dev/null
kill -SEGV "$PID"; wait "$PID" 2>/dev/null; PID=""
if ls "$user_dir/cores" | grep -q core; then
  [ "$(ls "$user_dir/cores" | grep -c core)" -eq 1 ] || fail "the program left a core file: $(ls "$user_dir/cores")"
else
  echo "(this system writes no core files into the folder: the crash part says nothing)"
fi
echo "e2e spine: all passed"
