#!/usr/bin/env bash
# The window and tessora-compose start from the same deep background colour on the same desktop:
# with no colour in the settings, both take the desktop's own. The desktop here is GNOME's
# background settings (a GSettings key file) on an X server of its own, and its colour is not the
# one used where a desktop has none, so a tool that ignored the desktop would show. Run it on an X
# server of its own (with_xvfb.sh).
# Arguments: tessora, tessora-compose, the screen-pixel reader, the build folder holding wav/.
set -uo pipefail
# shellcheck source=../support/wait.sh
. "$(dirname "$0")/../support/wait.sh"

program=$1
compose=$2
pixel=$3
files=$4

work=$(mktemp -d)
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# Program folders of their own, each with the same settings: a place for the window, no colour.
mkdir -p "$work/prog" "$work/cli" "$work/home" "$work/config/glib-2.0/settings"
cp "$program" "$work/prog/tessora"
cp -r "$files/wav" "$work/prog/"
cp "$compose" "$(dirname "$compose")/tessora-compose-desktop" "$work/cli/"
settings='[general]\r\ntop of form=40\r\nleft of form=30\r\n[program parameters]\r\nuse sound effects=FALSE\r\n'
printf "$settings" > "$work/prog/Tessora.ini"
printf "$settings" > "$work/cli/Tessora.ini"
printf "[org/gnome/desktop/background]\nprimary-color='#2a5f9e'\n" \
  > "$work/config/glib-2.0/settings/keyfile"

export QT_QPA_PLATFORM=xcb HOME="$work/home" XDG_CONFIG_HOME="$work/config" \
  GSETTINGS_BACKEND=keyfile XDG_CURRENT_DESKTOP=GNOME
unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY

expected="42 95 158"
"$work/cli/tessora-compose" --size 4x4 -o "$work/cli.bmp" 2> "$work/cli.log" ||
  { echo "tessora-compose failed"; cat "$work/cli.log"; exit 1; }
# A 4 x 4 BMP of 24 bits: the bottom-left pixel at byte 54, blue first.
read -r b g r < <(od -An -tu1 -j54 -N3 "$work/cli.bmp")
cli="$r $g $b"
[ "$cli" = "$expected" ] || { echo "tessora-compose painted '$cli', expected '$expected'"; exit 1; }

"$work/prog/tessora" > "$work/app.log" 2>&1 &
app_pid=$!
got=""
preview_shows() {
  kill -0 "$app_pid" 2>/dev/null || { echo "program exited"; cat "$work/app.log"; exit 1; }
  got=$("$pixel" $((30 + 172)) $((40 + 150)) 2>/dev/null) && [ "$got" = "$cli" ]
}
wait_until preview_shows && { echo "window and tool both start from $got"; exit 0; }
echo "the window's preview shows '$got' after $TESSORA_PATIENCE s, tessora-compose painted '$cli'"
cat "$work/app.log"
exit 1
