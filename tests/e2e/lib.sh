# Helpers for driving a real window under a private Xvfb with xdotool.
# Every wait is bounded; a test fails rather than hangs.

set -euo pipefail

fail() { echo "FAIL: $*" >&2; exit 1; }

# Starts Xvfb on a free display at 96 dpi and exports DISPLAY. -noreset: by
# default the server resets when its last client leaves (a stopped connector,
# the last xdotool), and a client connecting meanwhile is dropped ("Can't
# open display", "X I/O error"), which a slow start under valgrind often hit.
start_xvfb() {
  local fdfile
  fdfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -dpi 96 -nolisten tcp -noreset 3>"$fdfile" 2>/dev/null &
  XVFB_PID=$!
  # Xvfb writes the display number, a whole line, once it accepts clients.
  for _ in $(seq 300); do
    [ "$(wc -l <"$fdfile")" -ge 1 ] && break
    sleep 0.1
  done
  [ "$(wc -l <"$fdfile")" -ge 1 ] || fail "Xvfb did not start"
  export DISPLAY=":$(head -n1 "$fdfile")"
  rm -f "$fdfile"
}

stop_xvfb() { [ -z "${XVFB_PID:-}" ] || kill "$XVFB_PID" 2>/dev/null || true; }

# wait_for DESCRIPTION COMMAND...: polls COMMAND for up to WAIT_SECONDS
# (30 unless set), generous for a loaded machine; a passing run waits only as
# long as it must.
wait_for() {
  local what=$1
  shift
  for _ in $(seq $((${WAIT_SECONDS:-30} * 20))); do
    "$@" && return 0
    sleep 0.05
  done
  fail "timed out waiting for $what"
}

# The id of the visible window whose title is exactly $1.
window_id() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1; }
window_shown() { [ -n "$(window_id "$1")" ]; }

# Gives the keyboard to the window titled $1 (there is no window manager).
focus_window() {
  wait_for "window '$1'" window_shown "$1"
  local id
  id=$(window_id "$1")
  xdotool mousemove --window "$id" 5 5
  xdotool windowfocus --sync "$id"
}

keys() { xdotool key --delay 20 "$@"; }
type_text() { xdotool type --delay 20 "$1"; }

process_gone() { ! kill -0 "$1" 2>/dev/null; }
file_has() { [ -f "$1" ] && grep -qF -- "$2" "$1"; }

# Walking the focus: a script sets ORDER, the controls in focus order, and
# defines focused, which prints the one that holds the focus, in the same
# terms (names, or table indices).
focus_is() { [ "$(focused)" = "$1" ]; }

next_in_order() {  # $1: a control, $2: 1 for Tab, -1 for Shift+Tab
  local i
  for i in "${!ORDER[@]}"; do
    if [ "${ORDER[$i]}" = "$1" ]; then echo "${ORDER[$(((i + $2 + ${#ORDER[@]}) % ${#ORDER[@]}))]}"; fi
  done
}

# One Tab (or Shift+Tab with $1 = -1), waiting until the focus has moved on.
step() {
  local next
  next=$(next_in_order "$(focused)" "${1:-1}")
  if [ "${1:-1}" = 1 ]; then keys Tab; else keys shift+Tab; fi
  wait_for "the focus on $next" focus_is "$next"
}

# Tabs (or Shift+Tabs with $2 = -1) until control $1 has the focus.
tab_to() {
  for _ in "${ORDER[@]}"; do
    focus_is "$1" && return 0
    step "${2:-1}"
  done
  focus_is "$1" || fail "Tab never reached $1"
}

# Presses button $1 with the space bar.
press() { tab_to "$1" && keys space; }
