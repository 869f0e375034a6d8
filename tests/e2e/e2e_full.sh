#!/usr/bin/env bash
# Every window of the program as a user meets it: first use, add, edit, copy,
# Go To, sort, delete, the help window with "Show at Startup", the about
# window, the in-app browser on a local page, and both ways of ending.
# The vault's bytes are checked after every change.   e2e_full.sh PATH-TO-TRESSIK [HELP.RTF]
set -uo pipefail
here=$(dirname "$0")
. "$here/lib.sh"
under_xvfb "$@"
trap cleanup EXIT
new_install "$1"
cp "${2:-$here/../../resources/Help.rtf}" "$HOME_DIR/app/Help.rtf"
# The in-app browser runs as root here only in tests.
export QTWEBENGINE_DISABLE_SANDBOX=1 QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu
# Go To hands the location to the desktop's opener: record what it gets.
mkdir -p "$HOME_DIR/bin"
cat >"$HOME_DIR/bin/xdg-open" <<REC
#!/bin/sh
printf '%s\n' "\$#:\$1" >> "$HOME_DIR/opened.txt"
REC
chmod +x "$HOME_DIR/bin/xdg-open"
export PATH="$HOME_DIR/bin:$PATH"
mkdir -p "$HOME_DIR/site"
printf '<html><head><title>Local Test Page</title></head><body><h1>Hello</h1></body></html>' >"$HOME_DIR/site/index.html"
settings="$XDG_CONFIG_HOME/Tressik/Tressik.ini"
with_window_manager

echo "first use; the help window opens by itself"
first_use abcd
help=$(wait_window "Readme/Help")
expect_bytes "e1e2e3e40d0a"

echo "uncheck Show at Startup, close the help"
focus "$help"
click_twips "$help" 0 60 7620 1995 255
grep -q "showHelp=0" "$settings" || fail "showHelp=0 was not stored"
close_window "Readme/Help"
wait_gone "Readme/Help"

echo "add, edit"
add_entry carol pw9 www.carol.test
expect_bytes "$(vault_hex abcd 'carol|||pw9|||www.carol.test')"
add_entry dave pw8 notes
expect_bytes "$(vault_hex abcd 'carol|||pw9|||www.carol.test' 'dave|||pw8|||notes')"
row 2
click_twips "$main" "$off" 2460 60 1155 1035
e=$(wait_window "Edit an entry")
focus "$e"
click_twips "$e" 0 1320 900 3255 315
key ctrl+a; type_text "dave.org"; key Return
wait_gone "Edit an entry"
expect_bytes "$(vault_hex abcd 'carol|||pw9|||www.carol.test' 'dave|||pw8|||dave.org')"

echo "copy and Go To"
row 1
click_twips "$main" "$off" 60 1140 2355 795
[ "$(timeout 5 xclip -o -selection clipboard)" = carol ] || fail "the username was not copied"
click_twips "$main" "$off" 4860 1140 4095 795
[ "$(timeout 5 xclip -o -selection clipboard)" = www.carol.test ] || fail "the location was not copied"
click_twips "$main" "$off" 3660 60 1155 1035
for _ in $(seq 1 "$WAIT_STEPS"); do [ -s "$HOME_DIR/opened.txt" ] && break; sleep 0.05; done
[ "$(cat "$HOME_DIR/opened.txt" 2>/dev/null)" = "1:http://www.carol.test" ] || fail "Go To opened: $(cat "$HOME_DIR/opened.txt" 2>/dev/null)"

echo "sort descending, delete the first row"
focus "$main"
click_at "$main" 60 $((132 + off + 8))
row 1
click_twips "$main" "$off" 1260 60 1155 1035
box=$(wait_window "Confirm Delete")
focus "$box"
key Return
wait_gone "Confirm Delete"
expect_bytes "$(vault_hex abcd 'carol|||pw9|||www.carol.test')"

echo "View Help brings it back; the choice stays"
focus "$main"
menu "$main" 150 1
wait_window "Readme/Help" >/dev/null
grep -q "showHelp=0" "$settings" || fail "showHelp changed"
close_window "Readme/Help"
wait_gone "Readme/Help"

echo "about window, then the in-app browser on a local page"
focus "$main"
menu "$main" 190 1
about=$(wait_window "About Tressik")
close_window "About Tressik"
wait_gone "About Tressik"
focus "$main"
click_twips "$main" "$off" 4860 60 4095 1035
browser=$(browser_window)
focus "$browser"
click_twips "$browser" 0 600 240 4875 315
key ctrl+a
type_text "file://$HOME_DIR/site/index.html"
key Return
wait_window "Local Test Page" >/dev/null

echo "File, Exit with the browser open: the browser stays"
focus "$main"
menu "$main" 15 1
wait_gone "Tressik by"
kill -0 "$PID" 2>/dev/null || fail "the program ended with the browser still open"
close_window "Local Test Page"
wait_exit
expect_bytes "$(vault_hex abcd 'carol|||pw9|||www.carol.test')"

echo "no help at start now; the close box ends the program"
unlock abcd
sleep 1
[ -z "$(xdotool search --onlyvisible --name 'Readme/Help' 2>/dev/null)" ] || fail "the help opened although unchecked"
close_window "Tressik by"
wait_exit
expect_bytes "$(vault_hex abcd 'carol|||pw9|||www.carol.test')"
echo "e2e full: all passed"
