#!/usr/bin/env bash
# The real window driven from outside, on an X server of its own (run it with with_xvfb.sh):
# reachable_window.py MODE does the driving and checking.
# Arguments: the mode (names, keyboard, close), tessora, the screen-pixel reader, the build
# folder holding wav/. Exits 77 (skipped) where a tool the mode needs is missing.
set -uo pipefail

mode=$1
program=$2
pixel=$3
files=$4
python=/usr/bin/python3
# shellcheck source=../support/wait.sh
. "$(dirname "$0")/../support/wait.sh"

command -v xdotool > /dev/null || { echo "no xdotool"; exit 77; }
if [ "$mode" = names ]; then
  command -v dbus-run-session > /dev/null || { echo "no dbus-run-session"; exit 77; }
  "$python" -c "import pyatspi" 2> /dev/null || { echo "no pyatspi"; exit 77; }
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A program folder of its own (the settings beside the executable): a place for the window, the
# deep background colour, the sound on.
mkdir -p "$work/prog" "$work/home"
cp "$program" "$work/prog/tessora"
cp -r "$files/wav" "$work/prog/"
printf '[general]\r\ntop of form=40\r\nleft of form=30\r\n[program parameters]\r\ndeep background color=$00563412\r\n' \
  > "$work/prog/Tessora.ini"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
unset XDG_CURRENT_DESKTOP DESKTOP_SESSION

# A close must not wait for a cue, nor warn about it: a sound server of the test's own plays
# the start-up's cue while the close request comes.
if [ "$mode" = close ] && command -v pulseaudio > /dev/null; then
  mkdir -p "$work/pulse"
  printf 'load-module module-native-protocol-unix auth-anonymous=1 socket=%s\nload-module module-null-sink\n' \
    "$work/pulse/native" > "$work/pulse/server.pa"
  HOME="$work/pulse" XDG_RUNTIME_DIR="$work/pulse" pulseaudio -n -F "$work/pulse/server.pa" \
    --daemonize=no --exit-idle-time=-1 --use-pid-file=no --disable-shm=yes > /dev/null 2>&1 &
  server=$!
  trap 'kill $server 2> /dev/null; rm -rf "$work"' EXIT
  wait_until test -S "$work/pulse/native" ||
    { echo "pulseaudio made no socket within $TESSORA_PATIENCE s"; exit 1; }
  export PULSE_SERVER="unix:$work/pulse/native"
fi

run=("$python" "$(dirname "$0")/reachable_window.py" "$mode" "$work/prog/tessora" "$pixel" "$work")
if [ "$mode" = names ]; then
  # Qt exposes its tree on the accessibility bus only when asked to or when a reader runs.
  QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 dbus-run-session -- "${run[@]}"
else
  "${run[@]}"
fi
status=$?
[ $status -ne 0 ] && cat "$work/program.log"
exit $status
