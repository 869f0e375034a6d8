#!/usr/bin/env bash
# No text is cut at a text box's default 32,767 characters: a 40,000-character
# master password through first use and unlock (pasted from the clipboard), and
# an entry whose password is 40,000 characters, opened with Edit and saved
# without a change, written back byte for byte.   e2e_long_text.sh PATH-TO-TRESSIK
set -uo pipefail
. "$(dirname "$0")/lib.sh"
begin "$@"
CLIP_PID=
trap '[ -n "$CLIP_PID" ] && kill "$CLIP_PID" 2>/dev/null; cleanup' EXIT

# vault_file PASSWORD [LINE...]: writes data.enc as the program would.
vault_file() {
  perl -e 'binmode STDOUT; print map { join("", map { chr(ord($_) ^ 0x80) } split //, $_) . "\r\n" } @ARGV; print "\r\n"' \
    "$@" >"$HOME_DIR/app/data.enc"
}

# clipboard TEXT: the clipboard holds the text until the next call.
clipboard() {
  [ -n "$CLIP_PID" ] && kill "$CLIP_PID" 2>/dev/null
  printf '%s' "$1" | xclip -quiet -selection clipboard -i >/dev/null 2>&1 &
  CLIP_PID=$!
  eventually clipboard_is "$1" || fail "the clipboard does not hold the text"
}

inode() { stat -c %i "$HOME_DIR/app/data.enc"; }

# expect_file FILE: data.enc holds exactly the bytes of FILE, or does so before long.
expect_file() {
  eventually cmp -s "$1" "$HOME_DIR/app/data.enc" ||
    fail "data.enc holds $(stat -c %s "$HOME_DIR/app/data.enc") bytes, not the $(stat -c %s "$1") bytes expected"
}

master=$(perl -e 'print substr("Long-master-password;" x 2000, 0, 39996), "-end"')
[ "${#master}" = 40000 ] || fail "the test's master password is ${#master} characters"

echo "first use with a 40,000-character master password, pasted twice"
clipboard "$master"
start
password_window >/dev/null
key ctrl+v; key Tab; key ctrl+v; key Return
opened
perl -e 'binmode STDOUT; print join("", map { chr(ord($_) ^ 0x80) } split //, $ARGV[0]), "\r\n"' "$master" \
  >"$HOME_DIR/want.enc"
expect_file "$HOME_DIR/want.enc"
focus "$main"
menu "$main" 15 1   # File, Exit
wait_exit

echo "unlock with it"
start
password_window >/dev/null
key ctrl+v; key Return
opened
focus "$main"
menu "$main" 15 1
wait_exit
expect_file "$HOME_DIR/want.enc"

echo "an entry with a 40,000-character password, through Edit and Save"
long=$(perl -e 'print "0123456789abcdef" x 2500')
[ "${#long}" = 40000 ] || fail "the test's entry password is ${#long} characters"
vault_file abcd "short|||p|||x" "long|||$long|||www.example.test"
cp "$HOME_DIR/app/data.enc" "$HOME_DIR/before.enc"
unlock abcd
before=$(inode)
row 2
click_twips "$main" "$off" 2460 60 1155 1035          # Edit
e=$(wait_window "Edit an entry")
focus "$e"
click_twips "$e" 0 120 1500 1155 1035                 # Save
wait_gone "Edit an entry"
inode_is_not() { [ "$(inode)" != "$1" ]; }
eventually inode_is_not "$before" || fail "the vault was not written again"
expect_file "$HOME_DIR/before.enc"
focus "$main"
menu "$main" 15 1
wait_exit
echo "e2e long text: all passed"
