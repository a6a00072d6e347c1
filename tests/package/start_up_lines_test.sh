#!/usr/bin/env bash
# The help and the manual both tell where `tessora-compose --follow` goes for the sessions that
# read no autostart entries (a bare window manager, sway), how to turn the autostart entry off,
# and that LXQt and LXDE keep the wallpaper themselves.
# Arguments: the program, its manual page source.
set -uo pipefail

program=$1
manpage=$2

help=$("$program" --help | tr -s ' \n' ' ')
# Roff: "\-" is a dash, "\fB" and the like change fonts, requests start a line with a dot.
manual=$(sed -e 's/\\-/-/g' -e 's/\\f[A-Z]//g' -e 's/\\(..//g' -e 's/^\.[A-Z]* //' -e 's/"//g' \
  "$manpage" | tr -s ' \n' ' ')
status=0
for line in "exec --no-startup-id tessora-compose --follow" "~/.config/sway/config" \
  "exec tessora-compose --follow" "LXQt and LXDE" "Hidden=true"; do
  for source in help manual; do
    case ${!source} in
      *"$line"*) ;;
      *) echo "the $source does not say '$line'" >&2; status=1 ;;
    esac
  done
done
[ $status -eq 0 ] && echo "help and manual name the start-up lines"
exit $status
