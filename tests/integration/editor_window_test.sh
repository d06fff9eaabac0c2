#!/usr/bin/env bash
# editor_window_test.sh KELVANE SCREENSHOT_TOOL: the program started without
# -start on a desktop opens the job editor; watched and closed from outside
# with X tools. Runs under tests/support/desktop_session.sh.
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

# The window titled exactly TITLE that the window manager manages, within
# 10 s (GTK's hidden leader window shares the title and has no WM_STATE).
wait_window() {
  local i id
  for ((i = 0; i < 100; i++)); do
    for id in $(xdotool search --name "$1" 2>/dev/null); do
      [ "$id" = "${2:-none}" ] && continue
      [ "$(xdotool getwindowname "$id" 2>/dev/null)" = "$1" ] || continue
      xprop -id "$id" WM_STATE 2>/dev/null | grep -q "window state" && { echo "$id"; return; }
    done
    sleep 0.1
  done
}
wait_exit() {
  local i
  for ((i = 0; i < 300; i++)); do
    kill -0 "$1" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$1" 2>/dev/null && kill "$1"
  wait "$1"
  status=$?
}
close_window() { xdotool windowactivate --sync "$1" key alt+F4 2>/dev/null; }

mkdir -p "$work/data" "$work/out"
echo text > "$work/data/a.txt"
cat > "$work/Daily.kvnjob" <<JOB
{
  "Backup" : {
    "Type" : 1, "ArchiveFolder" : "$work/out", "ArchiveName" : "Daily",
    "ArchivePassword" : "", "ArchiveCompLevel" : 6, "AddDate" : false, "Overwrite" : false,
    "LogFolder" : false, "LogFiles" : false, "LogBlackList" : false, "LogErrors" : true,
    "LogRemoveLog" : true, "SkipFilesWithoutExtension" : true, "ArchiveBitGet" : false,
    "ArchiveBitSet" : true, "IncludeSystemFiles" : false, "IncludeHiddenFiles" : false,
    "WhiteList" : ["*.*"], "BlackList" : ["*.log"], "IncludeFolders" : ["$work/data"],
    "ExcludeFolders" : []
  }
}
JOB
cp "$work/Daily.kvnjob" "$work/Daily.original"

# 1. A job file given: the editor shows it; closed unchanged, nothing changes.
(cd "$work" && "$kelvane" Daily.kvnjob) &
pid=$!
editor=$(wait_window "Kelvane - $work/Daily.kvnjob")
if [ -z "$editor" ]; then
  fail "no editor titled \"Kelvane - $work/Daily.kvnjob\""
else
  sleep 0.5
  eval "$(xdotool getwindowgeometry --shell "$editor")"
  "$screenshot" "$artifacts/editor-started.png" "$((X - 4))" "$((Y - 40))" \
    "$((WIDTH + 8))" "$((HEIGHT + 44))" || fail "no screenshot"
  close_window "$editor"
fi
wait_exit $pid
[ "$status" = 0 ] || fail "closing the editor: exit status $status, not 0"
cmp -s "$work/Daily.kvnjob" "$work/Daily.original" || fail "the job file changed"
grep -q '"KelvanePrefs"' "$work/profile/Dravolo/Kelvane/profile.json" \
  || fail "the editor's placement was not kept"

# 2. No job: a new one, titled "Kelvane".
"$kelvane" &
pid=$!
editor=$(wait_window Kelvane)
[ -n "$editor" ] || fail "no editor for a new job"
[ -n "$editor" ] && close_window "$editor"
wait_exit $pid
[ "$status" = 0 ] || fail "a new job: exit status $status, not 0"

# 2b. With "load the last job" on, the last job comes up without a file named;
#     one that was deleted since gives a new job and changes nothing.
profile=$work/profile/Dravolo/Kelvane/profile.json
cat > "$profile" <<PROFILE
{"Main": {"LoadRecentFile": 1, "RecentFile": "$work/Daily.kvnjob"}}
PROFILE
"$kelvane" &
pid=$!
editor=$(wait_window "Kelvane - $work/Daily.kvnjob")
[ -n "$editor" ] || fail "the recent job did not come up"
[ -n "$editor" ] && close_window "$editor"
wait_exit $pid
cat > "$profile" <<PROFILE
{"Main": {"LoadRecentFile": 1, "RecentFile": "$work/gone.kvnjob"}}
PROFILE
"$kelvane" &
pid=$!
editor=$(wait_window Kelvane)
[ -n "$editor" ] || fail "a vanished recent job: no editor"
[ -n "$editor" ] && close_window "$editor"
wait_exit $pid
grep -q "gone.kvnjob" "$profile" || fail "a vanished recent job was forgotten at start"

# 3. A job file that is not JSON: said in a message box (with where it
#    breaks), then the editor on a new job, with no file to overwrite.
printf '{"Backup": [1, 2' > "$work/broken.kvnjob"
cp "$work/broken.kvnjob" "$work/broken.original"
"$kelvane" "$work/broken.kvnjob" 2> "$work/broken.err" &
pid=$!
box=$(wait_window Kelvane)
if [ -z "$box" ]; then
  fail "a broken job showed no message"
else
  xdotool windowactivate --sync "$box" key Return 2>/dev/null
  editor=$(wait_window Kelvane "$box")
  [ -n "$editor" ] || fail "no editor after a broken job"
  [ -n "$editor" ] && close_window "$editor"
fi
wait_exit $pid
[ "$status" = 0 ] || fail "a broken job: exit status $status, not 0"
grep -q "broken.kvnjob" "$work/broken.err" || fail "a broken job: not named on stderr"
cmp -s "$work/broken.kvnjob" "$work/broken.original" || fail "the broken job file changed"

# 4. Without a display, as before: the usage, status 3.
env -u DISPLAY -u WAYLAND_DISPLAY "$kelvane" "$work/Daily.kvnjob" 2> "$work/usage.err"
status=$?
[ "$status" = 3 ] || fail "no display, no -start: exit status $status, not 3"
grep -q -- "-start" "$work/usage.err" || fail "no display, no -start: no usage"

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "all editor window checks passed"
