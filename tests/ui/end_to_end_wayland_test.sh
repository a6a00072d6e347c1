#!/usr/bin/env bash
# Starts the real program as a native Wayland client of the headless sway it runs in (output
# scale 2, see tests/desktops/with_sway.sh) and checks, in a screenshot of its window, that the
# window fills twice its size in pixels and that the preview shows the deep background colour
# written into a settings file beside it.
# Arguments: the tessora executable, the build folder holding wav/.
set -uo pipefail
# shellcheck source=../support/wait.sh
. "$(dirname "$0")/../support/wait.sh"

program=$1
files=$2
for tool in grim jq swaymsg pamcut; do
  command -v $tool > /dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
work=$(mktemp -d)
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2> /dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# As in end_to_end_test.sh: a program folder of its own, with its settings beside it.
mkdir -p "$work/prog" "$work/home"
cp "$program" "$work/prog/tessora"
cp -r "$files/wav" "$work/prog/"
printf '[program parameters]\r\nuse sound effects=FALSE\r\ndeep background color=$00563412\r\n' \
  > "$work/prog/Tessora.ini"
HOME="$work/home" QT_QPA_PLATFORM=wayland "$work/prog/tessora" > "$work/app.log" 2>&1 &
app_pid=$!

# sway floats a window of fixed size; its place and size come from sway's tree, in logical units.
rect=""
window_placed() {
  rect=$(swaymsg -t get_tree | jq -r '.. | objects | select(.name? == "Tessora") | .rect |
    "\(.x),\(.y) \(.width)x\(.height)"' | head -n 1)
  [ -n "$rect" ]
}
wait_until window_placed ||
  { echo "no Tessora window within $TESSORA_PATIENCE s"; cat "$work/app.log"; exit 1; }
# The window is shot until its preview is drawn: the window of the size sway gave it, twice over
# in pixels, whose preview's middle (344 x 231 below the menu bar, in device pixels) is the colour.
width="" height="" got=""
logical=${rect#* }
drawn() {
  grim -g "$rect" -t ppm "$work/shot.ppm" || return 1
  read -r width height < <(sed -n 2p "$work/shot.ppm")
  got=$(pamcut -left 344 -top 300 -width 1 -height 1 "$work/shot.ppm" | pnmtoplainpnm |
    tail -n +4 | tr -s ' \n' ' ' | sed 's/^ //; s/ $//')
  [ "$got" = "18 52 86" ]
}
if wait_until drawn; then
  if [ "$width" != "$((2 * ${logical%x*}))" ] || [ "$height" != "$((2 * ${logical#*x}))" ]; then
    echo "window of $logical shot as ${width}x$height: not drawn at scale 2"
    exit 1
  fi
  echo "preview shows $got at scale 2"
  exit 0
fi
echo "preview centre is '$got' after $TESSORA_PATIENCE s, expected '18 52 86'"
cat "$work/app.log"
exit 1
