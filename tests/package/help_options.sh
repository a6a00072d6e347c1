# Shared by the checks of the manual and the completion: the options a program's --help lists.
# An option line starts with blanks and a dash; its options and their values come before two
# blanks or more and the description ("  -o, --output FILE     save the wallpaper").

# Prints the option words in TEXT on standard input, one a line, sorted.
option_words() {
  grep -oE '(^|[ ,])(--[a-z0-9][a-z0-9-]*|-[a-zA-Z])' | sed 's/^[ ,]*//' | sort -u
}

# Prints the options of PROGRAM --help, one a line, sorted.
help_options() {
  "$1" --help | grep -E '^[[:space:]]+-' |
    sed -E -e 's/^[[:space:]]+//' -e 's/[[:space:]]{2,}.*//' | option_words
}
