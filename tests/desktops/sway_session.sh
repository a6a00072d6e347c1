# Sourced: start_sway starts a headless sway of its own (pixman renderer, no input devices) in
# the folder $1, with output HEADLESS-1 set to $2 (and, given $3, a second output HEADLESS-2 set
# to $3), and exports WAYLAND_DISPLAY, SWAYSOCK and a
# XDG_RUNTIME_DIR for its clients; SWAY_PID holds its id. With SWAY_XWAYLAND=1 sway starts XWayland at
# once, and DISPLAY names it (else DISPLAY is unset). With SWAY_NO_BACKGROUND=1 sway starts no
# swaybg of its own. sway refuses to run as root, so when we are root
# it runs as "nobody" in a runtime folder handed to that user, while our own programs stay root.
# Returns 1, with the reason in SWAY_FAILURE, where it does not start.
# shellcheck source=../support/wait.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/wait.sh"

start_sway() {
  local work=$1 output=$2 second=${3:-} runtime="$1/sway-runtime" socket="" ipc="" _
  SWAY_FAILURE=""
  command -v sway > /dev/null || { SWAY_FAILURE="sway is not installed"; return 1; }
  mkdir -m 700 "$runtime"
  # SWAY_NO_BACKGROUND=1: no background program of sway's own, as on a compositor that has none.
  local background='output * bg #000000 solid_color'
  [ "${SWAY_NO_BACKGROUND:-0}" = 1 ] && background='swaybg_command -'
  printf '%s\n' "output HEADLESS-1 $output" ${second:+"output HEADLESS-2 $second"} \
    "$background" 'default_border none' 'default_floating_border none' > "$work/sway.config"
  if [ "${SWAY_XWAYLAND:-0}" = 1 ]; then
    command -v Xwayland > /dev/null || { SWAY_FAILURE="Xwayland is not installed"; return 1; }
    echo "xwayland force" >> "$work/sway.config"
  fi
  local run_as=()
  if [ "$(id -u)" -eq 0 ]; then
    chmod 755 "$work"
    chown 65534:65534 "$runtime"
    run_as=(setpriv --reuid=65534 --regid=65534 --clear-groups)
  fi
  env -i PATH="$PATH" HOME="$work" XDG_RUNTIME_DIR="$runtime" WLR_BACKENDS=headless \
    WLR_HEADLESS_OUTPUTS=$([ -n "$second" ] && echo 2 || echo 1) \
    WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman "${run_as[@]}" sway -c "$work/sway.config" \
    > "$work/sway.log" 2>&1 &
  SWAY_PID=$!
  # Its sockets, or its end.
  sway_listens() {
    socket=$(find "$runtime" -maxdepth 1 -name 'wayland-*' ! -name '*.lock' | head -n 1)
    ipc=$(find "$runtime" -maxdepth 1 -name 'sway-ipc.*' | head -n 1)
    { [ -n "$socket" ] && [ -n "$ipc" ]; } || ! kill -0 "$SWAY_PID" 2> /dev/null
  }
  wait_until sway_listens
  if [ -z "$socket" ] || [ -z "$ipc" ]; then
    SWAY_FAILURE="sway did not start: $(tail -n 2 "$work/sway.log" | tr '\n' ' ')"
    return 1
  fi
  export WAYLAND_DISPLAY="$socket" SWAYSOCK="$ipc"  # full paths: any runtime folder will do
  if [ "$(id -u)" -eq 0 ]; then  # one of our own, or Qt complains of a stranger's
    mkdir -m 700 "$work/client-runtime"
    export XDG_RUNTIME_DIR="$work/client-runtime"
  else
    export XDG_RUNTIME_DIR="$runtime"
  fi
  unset DISPLAY
  [ "${SWAY_XWAYLAND:-0}" = 1 ] || return 0
  # XWayland takes the first display number it finds free; sway hands it to what it starts.
  local x=""
  xwayland_listens() {
    [ -s "$runtime/display" ] ||
      swaymsg -q exec "printenv DISPLAY > $runtime/display" > /dev/null 2>&1
    x=$(cat "$runtime/display" 2> /dev/null)
    [ -n "$x" ] && [ -e "/tmp/.X11-unix/X${x#:}" ]
  }
  wait_until xwayland_listens || { SWAY_FAILURE="XWayland did not start"; return 1; }
  # XWayland admits only sway's own user; let ours in too.
  if [ "$(id -u)" -eq 0 ]; then
    swaymsg -q exec "xhost +si:localuser:root > $runtime/xhost.log 2>&1" > /dev/null
    wait_until env DISPLAY="$x" xhost > /dev/null 2>&1 ||
      { SWAY_FAILURE="XWayland does not admit $(id -un)"; return 1; }
  fi
  export DISPLAY=$x
}
