# Sourced by the shell tests: a test waits on its condition, never on a fixed time.
#
# How long a test waits on another process (an X server, a compositor, the program under test)
# before it gives up, in seconds. Generous: a machine busy with a build may take seconds for what
# takes milliseconds when idle. A wait ends as soon as its condition holds.
TESSORA_PATIENCE=${TESSORA_PATIENCE:-30}

# wait_until COMMAND [ARGUMENT...]: runs the command (a function may exit the test itself) every
# tenth of a second until it succeeds; fails when it has not within TESSORA_PATIENCE seconds.
wait_until() {
  local deadline=$((SECONDS + TESSORA_PATIENCE))
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}
