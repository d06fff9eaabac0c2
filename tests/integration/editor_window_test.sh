#!/usr/bin/env bash
# editor_window_test.sh KELVANE SCREENSHOT_TOOL: the program started without
# -start on a desktop opens the job editor; watched and closed from outside
# with X tools. Runs under tests/support/desktop_session.sh.
source "$(dirname "$0")/../support/desktop_checks.sh"
close_window() { press "$1" alt+F4; }

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

# Started with a job or without one, the editor and its keys are the
# accessibility test's (editor_desktop_test.py), and a start without a
# display FolderRunTest's; here: how a start picks its job, and what a start
# without a usable job does.

# 1. With "load the last job" on, the last job comes up without a file named;
#     one that was deleted since gives a new job and changes nothing.
profile=$work/profile/Dravolo/Kelvane/profile.json
mkdir -p "$(dirname "$profile")"
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

# 2. A job file that is not JSON: said in a message box (with where it
#    breaks), then the editor on a new job, with no file to overwrite.
printf '{"Backup": [1, 2' > "$work/broken.kvnjob"
cp "$work/broken.kvnjob" "$work/broken.original"
"$kelvane" "$work/broken.kvnjob" 2> "$work/broken.err" &
pid=$!
box=$(wait_window Kelvane)
if [ -z "$box" ]; then
  fail "a broken job showed no message"
else
  press "$box" Return
  editor=$(wait_window Kelvane "$box")
  [ -n "$editor" ] || fail "no editor after a broken job"
  [ -n "$editor" ] && close_window "$editor"
fi
wait_exit $pid
[ "$status" = 0 ] || fail "a broken job: exit status $status, not 0"
grep -q "broken.kvnjob" "$work/broken.err" || fail "a broken job: not named on stderr"
cmp -s "$work/broken.kvnjob" "$work/broken.original" || fail "the broken job file changed"

finish "editor window"
