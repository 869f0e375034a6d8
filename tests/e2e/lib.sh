# Shared helpers for the end-to-end tests: a fresh folder with the real
# program in it, started under the test's X server and driven with xdotool.

# How many 50 ms steps to wait for a window or an exit (a sanitizer build is slower).
WAIT_STEPS=${WAIT_STEPS:-400}

# under_xvfb "$@": runs the calling script again under its own X server, unless it has one.
under_xvfb() {
  if [ -z "${DISPLAY:-}" ]; then exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"; fi
}

fail() {
  echo "FAIL: $*" >&2
  if [ -s "${HOME_DIR:-/nonexistent}/log" ]; then
    echo "--- the program's output:" >&2
    tail -40 "$HOME_DIR/log" >&2
  fi
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

# wait_window NAME: waits until a visible window of that title exists; prints its id.
wait_window() {
  local id
  for _ in $(seq 1 "$WAIT_STEPS"); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)
    if [ -n "$id" ]; then echo "$id"; return 0; fi
    sleep 0.05
  done
  fail "no window named '$1' appeared"
}

# wait_gone NAME: waits until no visible window of that title is left.
wait_gone() {
  for _ in $(seq 1 "$WAIT_STEPS"); do
    [ -z "$(xdotool search --onlyvisible --name "$1" 2>/dev/null)" ] && return 0
    sleep 0.05
  done
  fail "window '$1' did not go away"
}

# wait_exit: waits for the program to end; fails unless its status is 0.
wait_exit() {
  for _ in $(seq 1 "$WAIT_STEPS"); do
    if ! kill -0 "$PID" 2>/dev/null; then
      wait "$PID"
      local rc=$?
      [ "$rc" -eq 0 ] || fail "the program ended with status $rc"
      return 0
    fi
    sleep 0.05
  done
  fail "the program did not end"
}

focus() {
  if [ -n "${WM_PID:-}" ]; then xdotool windowactivate --sync "$1" 2>/dev/null; fi
  xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"
  sleep 0.2
}
type_text() { xdotool type --delay 30 "$1"; }
key() { xdotool key --delay 50 "$@"; sleep 0.2; }

# click_at WINDOW X Y: a left click at a point of the window.
click_at() {
  xdotool mousemove --window "$1" "$2" "$3" click 1
  sleep 0.3
}

# menu WINDOW X ITEM: opens the menu whose title sits at X in the menu bar and
# chooses its ITEM-th entry (1-based).
menu() {
  click_at "$1" "$2" 8
  local i
  for ((i = 0; i < $3; i++)); do key Down; done
  key Return
}

expect_bytes() {
  local got
  got=$(xxd -p "$HOME_DIR/app/data.enc" | tr -d '\n')
  [ "$got" = "$1" ] || fail "data.enc holds $got, expected $1"
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
# process of its own; prints its id and sets $BROWSER_PID.
browser_window() {
  local id
  for _ in $(seq 1 "$WAIT_STEPS"); do
    BROWSER_PID=$(browser_pids | head -1)
    if [ -n "$BROWSER_PID" ]; then
      id=$(xdotool search --onlyvisible --pid "$BROWSER_PID" 2>/dev/null | head -1)
      if [ -n "$id" ]; then echo "$id"; return 0; fi
    fi
    sleep 0.05
  done
  fail "the browser window did not appear"
}

# with_window_manager: runs a small window manager, so close boxes work.
with_window_manager() {
  openbox >/dev/null 2>&1 &
  WM_PID=$!
  sleep 1
}

# close_window NAME: what a click on the window's close box does.
close_window() {
  wmctrl -c "$1" || fail "cannot close '$1'"
  sleep 0.3
}

# other_window KNOWN...: a visible window of the program that is none of these.
other_window() {
  local id known
  for _ in $(seq 1 "$WAIT_STEPS"); do
    for id in $(xdotool search --onlyvisible --pid "$PID" 2>/dev/null); do
      local seen=0
      for known in "$@"; do [ "$id" = "$known" ] && seen=1; done
      [ "$seen" = 0 ] && { echo "$id"; return 0; }
    done
    sleep 0.05
  done
  fail "no new window appeared"
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

# first_use PASSWORD: starts the program on an empty folder and creates the
# master password; sets $main and $off.
first_use() {
  start
  local w
  w=$(wait_window "Password Required")
  focus "$w"
  type_text "$1"; key Tab; type_text "$1"; key Return
  main=$(wait_window "Tressik by")
  off=$(menu_offset "$main")
}

# unlock PASSWORD: starts the program and gives its master password; sets $main and $off.
unlock() {
  start
  local w
  w=$(wait_window "Password Required")
  focus "$w"
  type_text "$1"; key Return
  main=$(wait_window "Tressik by")
  off=$(menu_offset "$main")
}
