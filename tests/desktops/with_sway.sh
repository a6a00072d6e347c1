#!/usr/bin/env bash
# Runs a command inside a headless sway of its own; its output HEADLESS-1 gets SWAY_OUTPUT
# (default "resolution 1600x1200 scale 2"); SWAY_XWAYLAND=1 adds XWayland, named by DISPLAY.
# Exits 77 (skipped) where sway does not start.
set -uo pipefail

source "$(dirname "$0")/sway_session.sh"
work=$(mktemp -d)
SWAY_PID=""
cleanup() {
  [ -n "$SWAY_PID" ] && kill "$SWAY_PID" 2> /dev/null && wait "$SWAY_PID" 2> /dev/null
  rm -rf "$work"
}
trap cleanup EXIT

start_sway "$work" "${SWAY_OUTPUT:-resolution 1600x1200 scale 2}" || {
  echo "SKIP: $SWAY_FAILURE"
  exit 77
}
"$@"
