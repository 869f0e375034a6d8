# Shared helpers for the end-to-end tests: a fresh folder with the real
# program in it, started under the test's X server and driven with xdotool.

# How many 50 ms steps to wait for a window, a file, the clipboard or an exit
# (a sanitizer build or a busy machine is slower). Every check of a result polls
# until it holds or the steps run out: a save, a copy or a setting lands a
# moment after the click or key that asks for it.
WAIT_STEPS=${WAIT_STEPS:-400}

# under_xvfb "$@": runs the calling script again under its own X server, unless
# it has one. The server picks a free display itself and names it once it takes
# connections, so tests started side by side on one machine never race for one.
# It must not reset when its last client leaves: a test that starts the program
# again right after it ended would meet a server that refuses it for a moment.
under_xvfb() {
  [ -n "${DISPLAY:-}" ] && return 0
  XVFB_DIR=$(mktemp -d /tmp/tressik-xvfb.XXXXXX)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$XVFB_DIR/display" 2>"$XVFB_DIR/log" &
  XVFB_PID=$!
  trap 'kill "$XVFB_PID" 2>/dev/null; wait "$XVFB_PID" 2>/dev/null; rm -rf "$XVFB_DIR"' EXIT
  eventually xvfb_settled
  local display
  display=$(head -1 "$XVFB_DIR/display")
  [ -n "$display" ] || { cat "$XVFB_DIR/log" >&2; fail "Xvfb did not start"; }
  DISPLAY=":$display" "$0" "$@"
  exit
}

xvfb_settled() { [ -s "$XVFB_DIR/display" ] || ended "$XVFB_PID"; }

# begin "$@": the start of every test: its own X server, the cleanup at its
# end, and a fresh copy of the program given as the first argument.
begin() {
  under_xvfb "$@"
  trap cleanup EXIT
  new_install "$1"
}

fail() {
  echo "FAIL: $*" >&2
  if [ -s "${HOME_DIR:-/nonexistent}/log" ]; then
    echo "--- the program's output:" >&2
    tail -40 "$HOME_DIR/log" >&2
  fi
  # Inside $(...) an exit would end only the substitution: end the test.
  [ "$BASHPID" != "$$" ] && kill -TERM "$$"
  exit 1
}

# new_install BINARY: copies the program, and the browser executable beside
# it, into a fresh folder; sets $HOME_DIR and $APP.
new_install() {
  HOME_DIR=$(mktemp -d /tmp/tressik-e2e.XXXXXX)
  mkdir -p "$HOME_DIR/app" "$HOME_DIR/config"
  cp "$1" "$HOME_DIR/app/tressik"
  local browser
  browser="$(dirname "$1")/tressik-browser"
  [ -x "$browser" ] && cp "$browser" "$HOME_DIR/app/tressik-browser"
  APP="$HOME_DIR/app/tressik"
  export XDG_CONFIG_HOME="$HOME_DIR/config"
}

# start: runs the program in the background; sets $PID.
start() {
  "$APP" >>"$HOME_DIR/log" 2>&1 &
  PID=$!
}

# eventually COMMAND...: runs the command every 50 ms until it succeeds, at
# most WAIT_STEPS times; its status is the last run's.
eventually() {
  local _
  for _ in $(seq 2 "$WAIT_STEPS"); do
    "$@" && return 0
    sleep 0.05
  done
  "$@"
}

# throughout SECONDS COMMAND...: the command holds every 50 ms for that long,
# for where a time is itself what is tested; fails at the first miss.
throughout() {
  local end=$((${EPOCHREALTIME/./} + $1 * 1000000))
  shift
  while [ "${EPOCHREALTIME/./}" -lt "$end" ]; do
    "$@" || return 1
    sleep 0.05
  done
}

ended() { ! kill -0 "$1" 2>/dev/null; }
running() { kill -0 "$1" 2>/dev/null; }

# wait_ended PID WHAT: waits until that process is gone.
wait_ended() { eventually ended "$1" || fail "$2 is still running"; }

# window_named NAME: the id of a visible window of that title, if there is one.
window_named() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 | grep .; }
no_window_named() { ! window_named "$1" >/dev/null; }

# wait_window NAME: waits until a visible window of that title exists; prints its id.
wait_window() { eventually window_named "$1" || fail "no window named '$1' appeared"; }

# wait_gone NAME: waits until no visible window of that title is left.
wait_gone() { eventually no_window_named "$1" || fail "window '$1' did not go away"; }

# wait_exit: waits for the program to end; fails unless its status is 0.
wait_exit() {
  wait_ended "$PID" "the program"
  wait "$PID"
  local rc=$?
  [ "$rc" -eq 0 ] || fail "the program ended with status $rc"
}

# focus WINDOW: gives the window the keyboard and waits until it has it, so
# nothing typed next goes elsewhere.
focus() {
  eventually take_keyboard "$1" || fail "window $1 did not get the keyboard (it is with $(xdotool getwindowfocus 2>/dev/null))"
}
take_keyboard() {
  if [ -n "${WM_PID:-}" ]; then xdotool windowactivate --sync "$1" 2>/dev/null; fi
  xdotool windowfocus --sync "$1" 2>/dev/null
  [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ]
}
# The program takes keys and clicks in the order they are sent, so what one
# changes the next sees without a pause; where one opens a window, the test
# waits for that window before it types into it.
# TYPE_DELAY: the milliseconds between two typed keys.
type_text() { xdotool type --delay "${TYPE_DELAY:-30}" "$1"; }
key() { xdotool key --delay 50 "$@"; }

# click_at WINDOW X Y: a left click at a point of the window.
click_at() { xdotool mousemove --window "$1" "$2" "$3" click 1; }

# typed_window TYPE NAME: a visible window named NAME (a pattern) whose kind
# is TYPE (DIALOG, SPLASH, DROPDOWN_MENU...); prints its id, or fails.
typed_window() {
  local id
  for id in $(xdotool search --onlyvisible --name "$2" 2>/dev/null); do
    xprop -id "$id" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q "= _NET_WM_WINDOW_TYPE_$1\b" && { echo "$id"; return 0; }
  done
  return 1
}

# wait_box NAME: waits for a message box of that title and gives it the
# keyboard; prints its id. The splash and the menus carry the program's name
# too, so the title alone does not tell a box.
wait_box() {
  local id
  id=$(eventually typed_window DIALOG "$1") || fail "no message box named '$1' appeared"
  focus "$id"
  echo "$id"
}

# menu WINDOW X ITEM: opens the menu whose title sits at X in the menu bar and
# chooses its ITEM-th entry (1-based), once the menu is open to take the keys.
menu() {
  click_at "$1" "$2" 8
  eventually typed_window DROPDOWN_MENU "" >/dev/null || fail "the menu at $2 did not open"
  local i
  for ((i = 0; i < $3; i++)); do key Down; done
  key Return
}

vault_now() { xxd -p "$HOME_DIR/app/data.enc" 2>/dev/null | tr -d '\n'; }

# expect_bytes HEX: data.enc holds these bytes now (the program has ended).
expect_bytes() {
  local got
  got=$(vault_now)
  [ "$got" = "$1" ] || fail "data.enc holds $got, expected $1"
}

# wait_bytes HEX: waits until data.enc holds these bytes; a save runs after the
# click or the box that asks for it.
wait_bytes() { eventually vault_is "$1" || fail "data.enc holds $(vault_now), expected $1"; }
vault_is() { [ "$(vault_now)" = "$1" ]; }

clipboard_now() { timeout 5 xclip -o -selection clipboard 2>/dev/null; }

# wait_clipboard TEXT: waits until the clipboard holds the text.
wait_clipboard() { eventually clipboard_is "$1" || fail "the clipboard holds '$(clipboard_now)', expected '$1'"; }
clipboard_is() { [ "$(clipboard_now)" = "$1" ]; }

file_is() { [ "$(cat "$1" 2>/dev/null)" = "$2" ]; }

# wait_line FILE REGEX: waits until a line of the file matches.
wait_line() {
  eventually grep -qE "$2" "$1" 2>/dev/null || fail "no line of $1 matches '$2'; it holds: $(cat "$1" 2>/dev/null)"
}

cleanup() {
  [ -n "${PID:-}" ] && kill "$PID" 2>/dev/null
  [ -n "${WM_PID:-}" ] && kill "$WM_PID" 2>/dev/null
  [ -n "${HOME_DIR:-}" ] && rm -rf "$HOME_DIR"
}

# scramble TEXT: the text as the vault stores it, in hex.
scramble() { perl -e 'print unpack("H*", join("", map { chr(ord($_) ^ 0x80) } split //, $ARGV[0]))' "$1"; }
# vault_hex PASSWORD [LINE...]: a whole vault as the program writes it, in hex.
vault_hex() {
  local out
  out="$(scramble "$1")0d0a"
  shift
  for line in "$@"; do out="$out$(scramble "$line")0d0a"; done
  echo "${out}0d0a"
}

# The client area of the main window starts below its menu bar.
MAIN_CLIENT_HEIGHT=437
menu_offset() {
  local h
  h=$(xdotool getwindowgeometry "$1" | sed -n 's/.*Geometry: [0-9]*x\([0-9]*\).*/\1/p')
  echo $((h - MAIN_CLIENT_HEIGHT))
}

# click_twips WINDOW OFFSET LEFT TOP WIDTH HEIGHT: clicks the middle of a
# control placed in twips (15 to a pixel), OFFSET pixels below the window top.
click_twips() {
  local x=$((($3 + $5 / 2) / 15)) y=$((($4 + $6 / 2) / 15 + $2))
  click_at "$1" "$x" "$y"
}

# browser_pids: the browser processes the program has started.
browser_pids() { pgrep -P "$PID" -x tressik-browser 2>/dev/null; }

# browser_window: waits for the in-app browser's window, which lives in a
# process of its own; prints its id. Under a window manager it also waits until
# the window has come forward, as it does when it opens, so it does not cover
# what the test clicks next.
browser_window() {
  local id
  id=$(eventually browser_shown) || fail "the browser window did not appear"
  [ -n "${WM_PID:-}" ] && wait_active "$id"
  echo "$id"
}
browser_shown() {
  local pid
  pid=$(browser_pids | head -1)
  [ -n "$pid" ] && xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -1 | grep .
}

# wait_active ID: waits until that window is the active one.
wait_active() {
  eventually is_active "$1" || fail "window $1 did not become active (active: $(xdotool getactivewindow 2>/dev/null))"
}
is_active() { [ "$(xdotool getactivewindow 2>/dev/null)" = "$1" ]; }

# with_window_manager: runs a small window manager, so close boxes work, and
# waits until it manages the screen.
with_window_manager() {
  openbox >/dev/null 2>&1 &
  WM_PID=$!
  eventually wmctrl -m >/dev/null 2>&1 || fail "the window manager did not start"
}

# close_window NAME: what a click on the window's close box does; waits until
# the window has gone.
close_window() {
  wmctrl -c "$1" || fail "cannot close '$1'"
  wait_gone "$1"
}

# The main window's controls. These read $main (the main window) and $off (its
# menu bar's height), which a test sets once the window is up.

# add_entry USER PASSWORD LOCATION [HOOK]: Add, type the three fields, Enter in
# the location box. HOOK, when given, runs with the editor's id before Enter.
add_entry() {
  focus "$main"
  click_twips "$main" "$off" 60 60 1155 1035            # Add
  local e
  e=$(wait_window "Add an entry")
  focus "$e"
  click_twips "$e" 0 1320 60 3255 315                   # txtUsername
  type_text "$1"; key Tab; type_text "$2"; key Tab; type_text "$3"
  [ -n "${4:-}" ] && "$4" "$e"
  key Return                                            # Enter in the location box saves
  wait_gone "Add an entry"
}

# row N: selects row N of the list (below the header row, then Down).
row() {
  focus "$main"
  click_at "$main" 60 $((132 + off + 30))
  local i
  for ((i = 1; i < $1; i++)); do key Down; done
}

# wait_started: waits until the start-up has settled on the password window.
# The splash shows the main window over it, which takes the keyboard, then
# hides itself; the password window's timer hides the main window again. Keys
# typed before that may land in the main window.
wait_started() {
  wait_window "Password Required" >/dev/null
  eventually splash_gone || fail "the splash stayed"
  wait_gone "Tressik by"
}
splash_gone() { ! typed_window SPLASH "^Tressik$" >/dev/null; }

# password_window: waits for the settled password window and gives it the
# keyboard; prints its id.
password_window() {
  wait_started
  local w
  w=$(wait_window "Password Required")
  focus "$w"
  echo "$w"
}

# opened: waits until the password window has let the main window in; sets $main and $off.
opened() {
  main=$(wait_window "Tressik by")
  wait_gone "Password Required"
  off=$(menu_offset "$main")
}

# first_use PASSWORD: starts the program on an empty folder and creates the
# master password; sets $main and $off.
first_use() {
  start
  password_window >/dev/null
  type_text "$1"; key Tab; type_text "$1"; key Return
  opened
}

# unlock PASSWORD: starts the program and gives its master password; sets $main and $off.
unlock() {
  start
  password_window >/dev/null
  type_text "$1"; key Return
  opened
}
