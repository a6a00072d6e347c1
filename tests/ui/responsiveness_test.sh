#!/usr/bin/env bash
# The window stays responsive while a large picture loads: with a 12000 x 8000 PNG (96
# megapixels) as the last center picture, the window maps within a second of the start and
# answers every _NET_WM_PING within 300 ms until the picture has landed in the preview. Run it on
# an X server of its own (with_xvfb.sh).
# Arguments: tessora, tessora-compose, the pinger, the build folder holding wav/. VISIBLE_MS and
# PING_MS override the bounds.
set -uo pipefail

program=$1
compose=$2
pinger=$3
files=$4

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A program folder of its own (the settings and lists beside the program), with the picture as
# the center list's newest entry; a gradient, so that reading it costs what a photograph's
# inflating does, made once here.
mkdir -p "$work/prog" "$work/home"
cp "$program" "$work/prog/tessora"
cp -r "$files/wav" "$work/prog/"
"$compose" --size 12000x8000 --background corner -o "$work/big.png" 2> "$work/compose.log" ||
  { echo "tessora-compose failed"; cat "$work/compose.log"; exit 1; }
printf '[general]\r\ntop of form=40\r\nleft of form=30\r\n[program parameters]\r\nuse sound effects=FALSE\r\ndeep background color=$00563412\r\n' \
  > "$work/prog/Tessora.ini"
printf '%s\r\n' "$work/big.png" > "$work/prog/PATHS to tessoras.txt"

export HOME="$work/home"
unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY

# Without a window manager the window's client area is at (30, 40); the preview's middle is at
# (172, 150) within it and shows the deep background colour until the picture lands.
"$pinger" 172 150 123456 "${VISIBLE_MS:-1000}" "${PING_MS:-300}" -- "$work/prog/tessora"
