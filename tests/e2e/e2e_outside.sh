#!/usr/bin/env bash
# The vault in a folder that something else writes to (a sync tool, another
# machine): a save's leftover from a crash goes at start, the list follows a
# version renamed over the vault or written in place, one under another master
# password is kept aside and never shown, a deleted vault is written again by
# the next change, and an editor open across a change saves onto its entry.
# A change saved just as another machine's lands keeps both; sync tools'
# conflict copies are asked about once each, and merged only on a Yes.
# The vault's bytes are checked after each step; nothing reads it while idle.
#   e2e_outside.sh PATH-TO-TRESSIK
set -uo pipefail
here=$(dirname "$0")
. "$here/lib.sh"
begin "$@"
with_window_manager
dir="$HOME_DIR/app"
vault="$dir/data.enc"

# put_by_rename HEX / put_in_place HEX: a sync tool's two ways of writing.
put_by_rename() { xxd -r -p <<<"$1" >"$dir/.sync-tmp" && mv -f "$dir/.sync-tmp" "$vault"; }
put_in_place() { xxd -r -p <<<"$1" >"$HOME_DIR/new" && cp "$HOME_DIR/new" "$vault"; }
# Every time the program reads the vault through to its end.
inotifywait -m -q -e close_nowrite --format %f "$dir" >"$HOME_DIR/reads" 2>/dev/null &
READER_PID=$!
trap 'kill "$READER_PID" 2>/dev/null; cleanup' EXIT
reads() { grep -cx data.enc "$HOME_DIR/reads"; }
read_since() { [ "$(reads)" -gt "$1" ]; }
wait_read() { eventually read_since "$1" || fail "the program did not read the changed vault"; }
# copied_user N NAME: the list's row N holds NAME (Copy Username).
copied_user() { row "$1"; click_twips "$main" "$off" 60 1140 2355 795; wait_clipboard "$2"; }

echo "a save's leftover goes at start; files of the user's stay"
xxd -r -p <<<"$(vault_hex abcd 'carol|||pw1|||c.test')" >"$vault"
echo old >"$dir/data.enc.saving-00000000000000ff"
echo mine >"$dir/data.enc.old"
syncthing="$dir/data.sync-conflict-20261209-031200-ABCDEFG.enc"
xxd -r -p <<<"$(vault_hex abcd 'carol|||pw1|||c.test' 'zed|||pw0|||')" >"$syncthing"
unlock abcd
[ -e "$dir/data.enc.saving-00000000000000ff" ] && fail "the leftover is still there"
echo "a conflict copy there at start is asked about; No leaves it"
wait_box "^Tressik$" >/dev/null
key Escape
wait_gone "^Tressik$"
[ -e "$syncthing" ] || fail "the conflict copy went on a No"
[ "$(cat "$dir/data.enc.old")" = mine ] || fail "data.enc.old was touched"

echo "nothing reads the vault while nothing changes"
n=$(reads)
throughout 2 running "$PID" || fail "the program ended"
[ "$(reads)" = "$n" ] || fail "the vault was read $(($(reads) - n)) times while idle"

echo "replaced by a rename: the list follows, the next Add keeps the new entry"
n=$(reads)
put_by_rename "$(vault_hex abcd 'carol|||pw1|||c.test' 'dave|||pw2|||d.test')"
wait_read "$n"
copied_user 2 dave
add_entry erin pw3 e.test
wait_bytes "$(vault_hex abcd 'carol|||pw1|||c.test' 'dave|||pw2|||d.test' 'erin|||pw3|||e.test')"
[ -e "$vault.bak" ] && fail "a backup was made of a version the program had shown"

echo "written in place"
n=$(reads)
put_in_place "$(vault_hex abcd 'carol|||pw1|||c.test' 'dave|||pw2|||d.test' 'erin|||pw3|||e.test' 'fred|||pw4|||')"
wait_read "$n"
copied_user 4 fred

echo "another master password: kept aside at once, never shown, then saved over"
other=$(vault_hex zzzz 'mallory|||x|||m.test')
put_by_rename "$other"
wait_box "^Tressik$" >/dev/null
key Return
wait_gone "^Tressik$"
[ "$(xxd -p "$vault.bak" | tr -d '\n')" = "$other" ] || fail "data.enc.bak holds $(xxd -p "$vault.bak")"
copied_user 4 fred
add_entry gina pw5 g.test
wait_bytes "$(vault_hex abcd 'carol|||pw1|||c.test' 'dave|||pw2|||d.test' 'erin|||pw3|||e.test' 'fred|||pw4|||' 'gina|||pw5|||g.test')"

echo "deleted: told at once; the next change writes it again"
rm "$vault"
wait_box "^Tressik$" >/dev/null
key Return
wait_gone "^Tressik$"
[ -e "$vault" ] && fail "the vault came back before a change"
row 5
click_twips "$main" "$off" 1260 60 1155 1035
wait_box "Confirm Delete" >/dev/null
key Return
wait_gone "Confirm Delete"
wait_bytes "$(vault_hex abcd 'carol|||pw1|||c.test' 'dave|||pw2|||d.test' 'erin|||pw3|||e.test' 'fred|||pw4|||')"

echo "an editor open across a change saves onto its entry, found again"
row 2
click_twips "$main" "$off" 2460 60 1155 1035
e=$(wait_window "Edit an entry")
n=$(reads)
put_by_rename "$(vault_hex abcd 'ivan|||pw6|||' 'carol|||pw1|||c.test' 'dave|||pw2|||d.test' 'fred|||pw4|||')"
wait_read "$n"
focus "$e"
click_twips "$e" 0 1320 900 3255 315
key ctrl+a; type_text "dave.org"; key Return
wait_gone "Edit an entry"
wait_bytes "$(vault_hex abcd 'ivan|||pw6|||' 'carol|||pw1|||c.test' 'dave|||pw2|||dave.org' 'fred|||pw4|||')"

echo "an Add saved just as another machine's change lands: both kept, nothing set aside"
other_machine() {
  put_by_rename "$(vault_hex abcd 'carol|||pw1|||c.test' 'dave|||pw2|||dave.org' 'fred|||pw4|||' 'kate|||pw8|||')"
}
add_entry jill pw7 j.test other_machine
# Merged by the save or read first (a busy machine can let the notification
# in before the Return), the other machine's entry stands where it stood there.
wait_bytes "$(vault_hex abcd 'carol|||pw1|||c.test' 'dave|||pw2|||dave.org' 'fred|||pw4|||' 'kate|||pw8|||' 'jill|||pw7|||j.test')"
copied_user 4 kate
[ -e "$vault.bak.1" ] && fail "a version was set aside"

echo "a conflict copy appearing while open: Yes merges its missing entry and renames it"
nextcloud="$dir/data (conflicted copy 2026-12-09 031200).enc"
now=$(vault_now)
with_lee="${now%0d0a}$(scramble 'lee|||pw9|||l.test')0d0a0d0a"
xxd -r -p <<<"$(vault_hex abcd 'carol|||pw1|||c.test' 'lee|||pw9|||l.test')" >"$dir/.nc-tmp"
mv "$dir/.nc-tmp" "$nextcloud"
wait_box "^Tressik$" >/dev/null
key Tab Return                                        # Yes
wait_gone "^Tressik$"
wait_bytes "$with_lee"
eventually test -e "$nextcloud.merged" || fail "the merged copy was not renamed: $(ls "$dir")"
[ -e "$nextcloud" ] && fail "the merged copy is still there under its name"

echo "one under another master password is told, never merged"
dropbox="$dir/data (laptop's conflicted copy 2026-12-09).enc"
xxd -r -p <<<"$(vault_hex zzzz 'mallory|||x|||m.test')" >"$dropbox"
wait_box "^Tressik$" >/dev/null
key Return
wait_gone "^Tressik$"
[ -e "$dropbox" ] || fail "the other password's copy went"
echo "neither copy is asked about again in this run"
touch "$dir/something-else"
throughout 2 no_window_named "^Tressik$" || fail "a copy was asked about again"

close_window "Tressik by"
wait_exit
kill "$READER_PID" 2>/dev/null
[ "$(ls "$dir" | grep -c '^data\.enc\.saving-')" = 0 ] || fail "a save left its new file: $(ls "$dir")"
[ "$(ls "$dir" | grep -c '^data\.enc\.displaced-')" = 0 ] || fail "a save left what it displaced: $(ls "$dir")"
[ "$(ls "$dir" | grep -c '^data\.enc\.bak')" = 1 ] || fail "backups: $(ls "$dir")"
echo "e2e outside: all passed"
