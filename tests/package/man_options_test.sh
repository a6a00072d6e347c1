#!/usr/bin/env bash
# Every option that `PROGRAM --help` lists is described in MANPAGE, and the manual describes no
# option the program does not list. Options are read from the help's option lines and from the
# tags of the .TP paragraphs of the manual's OPTIONS section, so the check keeps up with options
# added to either.
# Arguments: the program, its manual page source.
set -euo pipefail

program=$1
manpage=$2

source "$(dirname "$0")/help_options.sh"

help_options=$(help_options "$program")

# Roff: "\-" is a dash and "\fB" and the like change fonts; a .TP's tag is the line after it.
man_options=$(sed -n '/^\.SH OPTIONS/,/^\.SH /p' "$manpage" |
  sed -e 's/\\-/-/g' -e 's/\\f[A-Z]//g' -e 's/\\f([A-Z][A-Z]//g' |
  awk 'tag { print; tag = 0 } /^\.TP/ { tag = 1 }' | sed -E 's/^\.[A-Z]+ //' | option_words)

if [ -z "$help_options" ]; then
  echo "no options found in the output of $program --help" >&2
  exit 1
fi
missing=$(comm -23 <(echo "$help_options") <(echo "$man_options"))
extra=$(comm -13 <(echo "$help_options") <(echo "$man_options"))
status=0
if [ -n "$missing" ]; then
  echo "in --help but not in $(basename "$manpage"):" $missing >&2
  status=1
fi
if [ -n "$extra" ]; then
  echo "in $(basename "$manpage") but not in --help:" $extra >&2
  status=1
fi
[ $status -eq 0 ] && echo "$(echo "$help_options" | wc -l) options described"
exit $status
