#!/usr/bin/env bash
# Adds, edits, sorts, copies and deletes entries through the real windows and
# checks the vault's bytes after every change.   e2e_entries.sh PATH-TO-TRESSIK
set -uo pipefail
. "$(dirname "$0")/lib.sh"
begin "$@"

first_use abcd

echo "add two entries"
add_entry "bob" "pw2" "www.bob.test"
wait_bytes "$(vault_hex abcd 'bob|||pw2|||www.bob.test')"
add_entry "alice" "pw1" ""
wait_bytes "$(vault_hex abcd 'bob|||pw2|||www.bob.test' 'alice|||pw1|||')"

echo "edit the first"
row 1
click_twips "$main" "$off" 2460 60 1155 1035          # Edit
e=$(wait_window "Edit an entry")
focus "$e"
click_twips "$e" 0 1320 480 3255 315                  # txtPassword
key ctrl+a; type_text "pw3"
click_twips "$e" 0 1320 900 3255 315                  # txtWebsite
key Return
wait_gone "Edit an entry"
wait_bytes "$(vault_hex abcd 'bob|||pw3|||www.bob.test' 'alice|||pw1|||')"

# copy_first_password: selects the first row and copies its password.
copy_first_password() {
  row 1
  click_twips "$main" "$off" 2460 1140 2355 795       # Copy Password
}

echo "sort by username: descending, then ascending; copy the first row's password each time"
focus "$main"
click_at "$main" 60 $((132 + off + 8))                # the Username header
copy_first_password
wait_clipboard "pw3"
focus "$main"
click_at "$main" 60 $((132 + off + 8))
copy_first_password
wait_clipboard "pw1"

echo "delete the second row"
row 2
click_twips "$main" "$off" 1260 60 1155 1035          # Delete
wait_box "Confirm Delete" >/dev/null
key Return
wait_gone "Confirm Delete"
wait_bytes "$(vault_hex abcd 'alice|||pw1|||')"

echo "File, Exit"
focus "$main"
menu "$main" 15 1
wait_exit
expect_bytes "$(vault_hex abcd 'alice|||pw1|||')"
echo "e2e entries: all passed"
