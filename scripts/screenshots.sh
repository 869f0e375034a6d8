#!/usr/bin/env bash
# Takes the README's screenshots from the real program under Xvfb:
#   scripts/screenshots.sh [PATH-TO-TRESSIK]    (default: build/release/bin/tressik)
# Writes docs/screenshots/{password,main,editor,help}.png.
set -uo pipefail
cd "$(dirname "$0")/.."
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
root=$PWD
binary=$(realpath "${1:-build/release/bin/tressik}")
out="$root/docs/screenshots"
mkdir -p "$out"
. tests/e2e/lib.sh
trap cleanup EXIT
new_install "$binary"
cp resources/Help.rtf "$HOME_DIR/app/"
with_window_manager
shot() { sleep 0.5; import -window "$1" "$out/$2.png" && echo "wrote docs/screenshots/$2.png"; }

start
w=$(wait_window "Password Required")
focus "$w"
type_text "correct horse"; key Tab; type_text "correct horse"
shot "$w" password
key Return
main=$(wait_window "Tressik by")
help=$(wait_window "Readme/Help")
shot "$help" help
close_window "Readme/Help"
off=$(menu_offset "$main")

editor_shot() { shot "$1" editor; }
add_entry "alice@example.org" "Tr0ub4dor&3" "www.example.org/login"
add_entry "bob" "s3cret-Pass" "mail.example.net"
add_entry "carol.smith" "p4ssw0rd!" "Home router" editor_shot
row 1
shot "$main" main
menu "$main" 15 1
wait_exit
