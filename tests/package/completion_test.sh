#!/usr/bin/env bash
# The bash completion of tessora-compose, run as bash runs it: on an empty word it offers exactly
# the options of --help; after an option that takes a value it offers no option; the values with
# a fixed set of choices and file names are completed.
# Arguments: the completion script, the tessora-compose program.
set -uo pipefail

completion=$1
program=$2
source "$(dirname "$0")/help_options.sh"
source "$completion"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0

# Completion of the last word of a command line, as one sorted line.
complete_line() {
  COMP_WORDS=("$program" "$@")
  COMP_CWORD=$#
  _tessora_compose
  printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ' | sed 's/ $//'
}

expect() {
  local want=$1
  shift
  local got
  got=$(complete_line "$@")
  if [ "$got" != "$want" ]; then
    echo "completing '$*': got '$got', want '$want'" >&2
    status=1
  fi
}

expect "$(help_options "$program" | tr '\n' ' ' | sed 's/ $//')" ""

# An option followed by a value name in --help takes a value: never complete an option there.
while read -r option; do
  case $(complete_line "$option" "") in
    -* | *" -"*) echo "after $option an option is offered" >&2; status=1 ;;
  esac
done < <("$program" --help | grep -E '^[[:space:]]+-[^ ]*( [A-Za-z]+)?[[:space:]]+' |
  sed -nE 's/^[[:space:]]+(.*[ ,])?(--?[a-z0-9-]+) [A-Za-z]+[[:space:]]{2,}.*/\2/p')

expect "halo" --background h
expect "height=" --size 10x10 --sizing he
expect "jpeg jpg" --format j
expect "clSilver clSkyBlue" --color2 clS
expect "--scale-tile --set-wallpaper --size --sizing" --s

touch "$work/stone.png" "$work/stone.jpg" "$work/other.gif"
expect "$work/stone.jpg $work/stone.png" --tile "$work/st"
expect "$work/other.gif" -o "$work/o"
exit $status
