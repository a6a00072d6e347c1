#!/usr/bin/env bash
# Starts the real program on its own X server and checks that its preview shows the deep
# background colour written into a settings file beside it.
# Arguments: the tessora executable, the screen-pixel reader, the build folder holding wav/.
set -uo pipefail
# shellcheck source=../support/wait.sh
. "$(dirname "$0")/../support/wait.sh"

program=$1
pixel=$2
files=$3

work=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# A program folder of its own: the program reads its settings beside itself when it may write
# there, and /proc/self/exe resolves links, so the executable is copied, not linked.
mkdir -p "$work/prog" "$work/home"
cp "$program" "$work/prog/tessora"
cp -r "$files/wav" "$work/prog/"
printf '[general]\r\ntop of form=40\r\nleft of form=30\r\n[program parameters]\r\nuse sound effects=FALSE\r\ndeep background color=$00563412\r\n' \
  > "$work/prog/Tessora.ini"

# The server picks a free display number itself: another test's server may start meanwhile.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3> "$work/display" > "$work/xvfb.log" 2>&1 &
xvfb_pid=$!
wait_until test -s "$work/display" ||
  { echo "Xvfb did not start within $TESSORA_PATIENCE s"; cat "$work/xvfb.log"; exit 1; }
display=":$(head -n 1 "$work/display")"

export DISPLAY=$display QT_QPA_PLATFORM=xcb HOME="$work/home" XDG_RUNTIME_DIR="$work"
"$work/prog/tessora" > "$work/app.log" 2>&1 &
app_pid=$!

# The window is at (30, 40) with no window manager to frame it; the preview lies below the menu
# bar, 344 x 231. Sample its middle once the program has drawn.
expected="18 52 86"
got=""
preview_shows() {
  kill -0 "$app_pid" 2>/dev/null || { echo "program exited"; cat "$work/app.log"; exit 1; }
  got=$("$pixel" $((30 + 172)) $((40 + 150)) 2>/dev/null) && [ "$got" = "$expected" ]
}
wait_until preview_shows && { echo "preview shows $got"; exit 0; }
echo "preview centre is '$got' after $TESSORA_PATIENCE s, expected '$expected'"
cat "$work/app.log"
exit 1
