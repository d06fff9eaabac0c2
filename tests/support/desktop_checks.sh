# Sourced by the tests that watch the program's windows from outside with X
# tools (under desktop_session.sh). Takes the test's arguments KELVANE
# SCREENSHOT_TOOL; gives $kelvane, $screenshot, $artifacts, a fresh $work
# (removed at exit) with the program's profile below it, and the helpers.
set -uo pipefail
kelvane=$1
screenshot=$2
artifacts=${KELVANE_ARTIFACTS:-test-artifacts}
mkdir -p "$artifacts"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/profile"
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# The program's windows that the window manager manages (those with a
# WM_STATE; GTK's hidden leader window has none), titled exactly TITLE.
managed_windows() {
  local id
  for id in $(xdotool search --name "$1" 2>/dev/null); do
    [ "$(xdotool getwindowname "$id" 2>/dev/null)" = "$1" ] || continue
    xprop -id "$id" WM_STATE 2>/dev/null | grep -q "window state" && echo "$id"
  done
}

# wait_viewable ID: waits up to 5 s until the window is mapped and viewable,
# so a screenshot shows it drawn.
wait_viewable() {
  local i
  for ((i = 0; i < 50; i++)); do
    xwininfo -id "$1" 2>/dev/null | grep -q "IsViewable" && return
    sleep 0.1
  done
}

# wait_window TITLE [EXCEPT]: the id of the first managed window of that
# title other than EXCEPT within 10 s, empty when none came.
wait_window() {
  local i id
  for ((i = 0; i < 100; i++)); do
    id=$(managed_windows "$1" | grep -v "^${2:-none}\$" | head -n 1)
    if [ -n "$id" ]; then echo "$id"; return; fi
    sleep 0.1
  done
}

# wait_exit PID: waits up to 60 s for the program; its exit status in $status.
wait_exit() {
  local i
  for ((i = 0; i < 600; i++)); do
    kill -0 "$1" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$1" 2>/dev/null && kill "$1"
  wait "$1"
  status=$?
}

# shoot WINDOW NAME: the window with its frame as $artifacts/NAME.png.
shoot() {
  local X Y WIDTH HEIGHT SCREEN
  eval "$(xdotool getwindowgeometry --shell "$1")"
  "$screenshot" "$artifacts/$2.png" "$((X - 4))" "$((Y - 40))" "$((WIDTH + 8))" \
    "$((HEIGHT + 44))"
}

# press WINDOW KEY: the key, as the user presses it in that window.
press() { xdotool windowactivate --sync "$1" key "$2" 2>/dev/null; }

# The end of a test: a line for each failure already said, and the status.
finish() {
  if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
  fi
  echo "all $1 checks passed"
}
