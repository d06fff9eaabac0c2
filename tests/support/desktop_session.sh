#!/bin/sh
# desktop_session.sh COMMAND [ARG...]: runs COMMAND on an X server of its own
# (Xvfb on a free display) with a window manager (openbox), as a desktop
# would, and exits with COMMAND's status. Without a window manager windows
# never become active or minimised, so the tests that check that need one.
# KELVANE_SCREEN sets the screen's size (default 1280x1024x24).
set -eu
exec xvfb-run --auto-servernum --server-args="-screen 0 ${KELVANE_SCREEN:-1280x1024x24}" sh -c '
  NO_AT_BRIDGE=1; export NO_AT_BRIDGE
  openbox >/dev/null 2>&1 &
  wm=$!
  i=0
  while [ $i -lt 100 ] && ! xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; do
    sleep 0.1; i=$((i + 1))
  done
  status=0
  "$@" || status=$?
  kill $wm 2>/dev/null || true
  exit $status
' desktop_session "$@"
