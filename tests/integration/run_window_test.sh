#!/usr/bin/env bash
# run_window_test.sh KELVANE SCREENSHOT_TOOL: the program started as a desktop
# starts it, with or without -start, watched and pressed on from outside with
# X tools (the editor itself and its keys are editor_desktop_test.py's). Runs under
# tests/support/desktop_session.sh (an X server with a window manager).
source "$(dirname "$0")/../support/desktop_checks.sh"

# make_job NAME FILES [KB]: a ZIP job over FILES files of KB kB (20 unless
# given), level 9, into $work/out/NAME.zip. The files are random letters of a
# four-letter alphabet: deflate cannot skip them as it skips noise, and at
# level 9 they cost it about 0.6 s a megabyte, so a run lasts long enough to
# be cancelled.
make_job() {
  local name=$1 files=$2 kb=${3:-20} i
  mkdir -p "$work/src-$name" "$work/out"
  for ((i = 0; i < files; i++)); do
    head -c "$((kb * 1000))" /dev/urandom | tr '\000-\377' '[a*64][b*64][c*64][d*64]' \
      > "$work/src-$name/file$i.bin"
  done
  cat > "$work/$name.kvnjob" <<JOB
{"Backup": {"Type": 1, "ArchiveFolder": "$work/out", "ArchiveName": "$name",
  "ArchivePassword": "", "ArchiveCompLevel": 9, "AddDate": false, "Overwrite": false,
  "LogFolder": false, "LogFiles": false, "LogBlackList": false, "LogErrors": true,
  "LogRemoveLog": true, "SkipFilesWithoutExtension": false, "ArchiveBitGet": false,
  "ArchiveBitSet": false, "IncludeSystemFiles": false, "IncludeHiddenFiles": false,
  "WhiteList": ["*.*"], "BlackList": [], "IncludeFolders": ["$work/src-$name"],
  "ExcludeFolders": []}}
JOB
}

# check_aborted NAME WHAT: the run of job NAME ended with status 2, its older
# archive as it was and nothing else of it in the folder.
check_aborted() {
  [ "$status" = 2 ] || fail "$2: exit status $status, not 2"
  [ "$(head -c 100 "$work/out/$1.zip" | tr -d '\0')" = "an older archive" ] \
    || fail "$2: the older archive changed"
  local leftover
  leftover=$(ls -A "$work/out" | grep "^$1" | grep -v "^$1.zip\$")
  [ -z "$leftover" ] || fail "$2 left: $leftover"
}

# wait_packing NAME: waits up to 10 s until the run of NAME writes its archive.
wait_packing() {
  local i
  for ((i = 0; i < 100; i++)); do
    compgen -G "$work/out/.$1.zip.kvn-*" > /dev/null && return
    sleep 0.1
  done
}

# 1. With a display, -start runs in a window named after the job that closes
#    by itself (a scheduler or a launcher may have nobody watching).
make_job Plain 40
"$kelvane" "$work/Plain.kvnjob" -start 2> "$work/plain.err" &
pid=$!
window=$(wait_window "Kelvane - Plain")
if [ -z "$window" ]; then
  fail "-start with a display showed no window titled \"Kelvane - Plain\""
else
  wait_viewable "$window"
  shoot "$window" run-window-started || fail "no screenshot"
  xprop -id "$window" WM_CLASS | grep -q '"kelvane"' || fail "the window's class is not kelvane"
fi
wait_exit $pid
[ "$status" = 0 ] || fail "-start in the window: exit status $status, not 0"
unzip -tq "$work/out/Plain.zip" > /dev/null || fail "the window's archive fails unzip -t"
grep -q "Done:" "$work/plain.err" && fail "the window run wrote the console's end line"

# 2. -minimize: iconic in the window manager's eyes, and the run completes.
make_job Small 30
"$kelvane" "$work/Small.kvnjob" -start -minimize &
pid=$!
window=$(wait_window "Kelvane - Small")
iconic=no
for ((i = 0; i < 50; i++)); do
  if xprop -id "$window" WM_STATE 2>/dev/null | grep -q "Iconic"; then iconic=yes; break; fi
  sleep 0.1
done
[ "$iconic" = yes ] || fail "-minimize: the window is not iconic"
wait_exit $pid
[ "$status" = 0 ] || fail "-minimize: exit status $status, not 0"
unzip -tq "$work/out/Small.zip" > /dev/null || fail "-minimize: the archive fails unzip -t"

# 3. Escape during the run asks; Enter answers Yes (the default button):
#    the run ends as after Ctrl-C and the older archive stays.
make_job Cancel 400 40
printf 'an older archive' > "$work/out/Cancel.zip"
"$kelvane" "$work/Cancel.kvnjob" -start &
pid=$!
window=$(wait_window "Kelvane - Cancel")
wait_packing Cancel
press "$window" Escape
question=$(wait_window Kelvane)
if [ -z "$question" ]; then
  fail "Escape asked no question"
else
  wait_viewable "$question"
  shoot "$question" run-window-cancel-question
  press "$question" Return
fi
wait_exit $pid
check_aborted Cancel "cancel"

# 3b. SIGTERM (a shutdown, a scheduler's timeout) ends a window run as cleanly.
make_job Term 400 40
printf 'an older archive' > "$work/out/Term.zip"
"$kelvane" "$work/Term.kvnjob" -start &
pid=$!
window=$(wait_window "Kelvane - Term")
wait_packing Term
kill -TERM $pid
wait_exit $pid
check_aborted Term "SIGTERM"

# 4. -console keeps the run in the terminal, as before.
make_job Console 3
"$kelvane" "$work/Console.kvnjob" -start -console 2> "$work/console.err"
status=$?
[ "$status" = 0 ] || fail "-console: exit status $status"
grep -q "Done:" "$work/console.err" || fail "-console: no end line in the terminal"

# 5. A display that cannot be opened: one line, then the run in the terminal.
DISPLAY=:9999 WAYLAND_DISPLAY= "$kelvane" "$work/Console.kvnjob" -start 2> "$work/nodisplay.err"
status=$?
[ "$status" = 0 ] || fail "no display: exit status $status"
grep -q "The display :9999 cannot be opened; the run goes on in the terminal." \
  "$work/nodisplay.err" || fail "no display: no line saying so"
grep -q "Done:" "$work/nodisplay.err" || fail "no display: the run did not go on in the terminal"

# 6. From a launcher there is no terminal: a job that cannot be loaded is
#    said in a message box as well (naming the file on stderr), then the
#    editor comes up on a new job and the file stays as it was. With -start
#    the status says the job did not run.
printf '{"Backup": [1, 2' > "$work/broken.kvnjob"
cp "$work/broken.kvnjob" "$work/broken.original"
for case in "missing.kvnjob -start:3" "broken.kvnjob:0"; do
  args=${case%:*}
  (cd "$work" && exec "$kelvane" $args 2> "$work/unloadable.err") &
  pid=$!
  box=$(wait_window Kelvane)
  if [ -z "$box" ]; then
    fail "$args: no message box"
  else
    press "$box" Return
    editor=$(wait_window Kelvane "$box")
    [ -n "$editor" ] || fail "$args: no editor after the message"
    [ -n "$editor" ] && press "$editor" alt+F4
  fi
  wait_exit $pid
  [ "$status" = "${case##*:}" ] || fail "$args: exit status $status, not ${case##*:}"
  grep -q "${args%% *}" "$work/unloadable.err" || fail "$args: not named on stderr"
done
cmp -s "$work/broken.kvnjob" "$work/broken.original" || fail "the broken job file changed"

# 7. With "load the last job" on, the last job comes up without a file named;
#    one that was deleted since gives a new job and is not forgotten.
profile=$work/profile/Dravolo/Kelvane/profile.json
mkdir -p "$(dirname "$profile")"
for recent in "$work/Console.kvnjob" "$work/gone.kvnjob"; do
  printf '{"Main": {"LoadRecentFile": 1, "RecentFile": "%s"}}' "$recent" > "$profile"
  "$kelvane" &
  pid=$!
  [ "$recent" = "$work/gone.kvnjob" ] && title=Kelvane || title="Kelvane - $recent"
  editor=$(wait_window "$title")
  [ -n "$editor" ] || fail "recent job $recent: no editor titled \"$title\""
  [ -n "$editor" ] && press "$editor" alt+F4
  wait_exit $pid
done
grep -q "gone.kvnjob" "$profile" || fail "a vanished recent job was forgotten at start"

finish "desktop start"
