#!/usr/bin/env bash
# Starts the real program on its own X server and checks that its preview shows the deep
# background colour written into a settings file beside it.
# Arguments: the tessora executable, the screen-pixel reader, the build folder holding wav/.
set -uo pipefail

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

display=""
for n in $(seq 71 99); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
    display=":$n"
    break
  fi
done
[ -n "$display" ] || { echo "no free display number"; exit 1; }

Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp > "$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do
  [ -e "/tmp/.X11-unix/X${display#:}" ] && break
  sleep 0.1
done

export DISPLAY=$display QT_QPA_PLATFORM=xcb HOME="$work/home" XDG_RUNTIME_DIR="$work"
"$work/prog/tessora" > "$work/app.log" 2>&1 &
app_pid=$!

# The window is at (30, 40) with no window manager to frame it; the preview lies below the menu
# bar, 344 x 231. Sample its middle once the program has drawn.
expected="18 52 86"
for _ in $(seq 40); do
  sleep 0.25
  kill -0 "$app_pid" 2>/dev/null || { echo "program exited"; cat "$work/app.log"; exit 1; }
  got=$("$pixel" $((30 + 172)) $((40 + 150)) 2>/dev/null) || continue
  [ "$got" = "$expected" ] && { echo "preview shows $got"; exit 0; }
done
echo "preview centre is '$got', expected '$expected'"
cat "$work/app.log"
exit 1
