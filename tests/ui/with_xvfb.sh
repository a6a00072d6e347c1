#!/usr/bin/env bash
# Runs a command on an X server of its own, for tests that need a real one (the clipboard).
# The server picks a free display number itself, so tests running side by side do not collide,
# and it never resets: a reset, when the last client leaves, refuses whoever connects meanwhile.
# Exits 77 (skipped) where no Xvfb is installed.
set -uo pipefail

command -v Xvfb > /dev/null || { echo "no Xvfb"; exit 77; }
# shellcheck source=../support/wait.sh
. "$(dirname "$0")/../support/wait.sh"
work=$(mktemp -d)
xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3> "$work/display" > "$work/xvfb.log" 2>&1 &
xvfb_pid=$!
wait_until test -s "$work/display" ||
  { echo "Xvfb did not start within $TESSORA_PATIENCE s"; cat "$work/xvfb.log"; exit 1; }

export DISPLAY=":$(head -n 1 "$work/display")" QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work"
"$@"
status=$?
exit $status
