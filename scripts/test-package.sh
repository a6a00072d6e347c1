#!/usr/bin/env bash
# Checks the Debian package `make package` made: its contents and metadata, lintian, the programs
# unpacked into a scratch folder (they find their files and keep the user's in the XDG folder),
# and, as root where Tessora is not installed yet, a real installation from PATH and its removal.
# Argument: the build folder the package was made from (default build).
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb=dist/tessora_${version}_amd64.deb
work=$(mktemp -d)
installed=""
cleanup() {
  [ -n "$installed" ] && apt-get purge -y -qq tessora >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
step() { echo "== $*"; }

if [ ! -f "$deb" ]; then
  echo "no package $deb: run make package first" >&2
  exit 1
fi
echo "$deb: $(du -k "$deb" | cut -f1) KiB"

step "contents"
dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./|/|' >"$work/contents"
icons=/usr/share/icons/hicolor
expected=(/usr/bin/tessora /usr/bin/tessora-compose /usr/libexec/tessora/tessora-compose-desktop
  /usr/share/tessora/readme.txt /usr/share/applications/io.tessora.Tessora.desktop
  /usr/share/metainfo/io.tessora.Tessora.metainfo.xml
  /usr/share/man/man1/tessora.1.gz /usr/share/man/man1/tessora-compose.1.gz
  /usr/share/bash-completion/completions/tessora-compose
  /usr/share/doc/tessora/copyright /usr/share/doc/tessora/changelog.gz
  /etc/xdg/autostart/io.tessora.Tessora.Follow.desktop
  $icons/scalable/apps/tessora.svg)
for size in 16 22 24 32 48 64 128 256; do
  expected+=("$icons/${size}x${size}/apps/tessora.png")
done
for cue in ExamplePainted OpenFolder ImageAssign SetWallpaper ColorStored Error; do
  expected+=("/usr/share/tessora/wav/$cue.wav")
done
for path in "${expected[@]}"; do
  grep -qxF "$path" "$work/contents" || fail "$path is not in the package"
done
# Besides /usr, only the entry that starts tessora-compose --follow at login, where desktops look.
outside=$(grep -vE '^/(usr/.*|etc/|etc/xdg/|etc/xdg/autostart/|etc/xdg/autostart/io\.tessora\.Tessora\.Follow\.desktop)?$' "$work/contents")
[ -z "$outside" ] || fail "outside /usr:" $outside
tools=$(grep -E 'test|bench|fuzz|make_(icon|cues)' "$work/contents")
[ -z "$tools" ] || fail "files for building or testing:" $tools

step "metadata"
dpkg-deb -I "$deb" >"$work/info" || fail "dpkg-deb -I cannot read the package"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = tessora ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), not $version"
[ "$(field Architecture)" = amd64 ] || fail "Architecture: $(field Architecture)"
depends=$(field Depends)
echo "Depends: $depends"
# The libraries linked, as dpkg-shlibdeps names them, and the run-time packages of runtime.txt.
required=(libc6 libstdc++6 libqt6widgets6 libqt6gui6 libpng16-16 libjpeg62-turbo libgif7)
read -r -a runtime <<<"$(sed 's/#.*//' scripts/packages/runtime.txt | tr '\n' ' ')"
# The package names in Depends, one a line, without their versions.
names=$(sed -e 's/([^)]*)//g' -e 's/[|,]/\n/g' <<<"$depends" | tr -d ' ' | sort -u)
for p in "${required[@]}" "${runtime[@]}"; do
  grep -qxF "$p" <<<"$names" || fail "Depends lacks $p"
done
# Nothing for building or testing.
read -r -a build_only <<<"$(sed 's/#.*//' scripts/packages/build.txt scripts/packages/test.txt |
  tr '\n' ' ')"
for p in "${build_only[@]}"; do
  grep -qxF "$p" <<<"$names" && fail "Depends names the build or test package $p"
done
grep -q -- '-dev$' <<<"$names" && fail "Depends names a -dev package"

if command -v lintian >/dev/null; then
  step "lintian"
  lintian --fail-on error --suppress-tags-from-file /dev/null "$deb" || fail "lintian reports errors"
fi

step "unpacked in a scratch folder"
root=$work/root
dpkg-deb -x "$deb" "$root"
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
mkdir -p "$HOME" "$XDG_CONFIG_HOME/tessora"
unset DISPLAY WAYLAND_DISPLAY
check_programs() { # the folder of tessora and tessora-compose, a label
  local bin=$1 label=$2 out=$work/$2.bmp
  "$bin/tessora-compose" --help | grep -q -- '--output' || fail "$label: tessora-compose --help"
  # The user's settings are read from the XDG folder, even by root, who may write beside the
  # program: the deep background colour there is the composition's colour.
  printf '[program parameters]\r\ndeep background color=$00336699\r\n' \
    >"$XDG_CONFIG_HOME/tessora/Tessora.ini"
  "$bin/tessora-compose" -q --size 8x6 -o "$out" || fail "$label: composing failed"
  # A 24-bit BMP stores blue, green, red, as the settings' $00BBGGRR reads: its first pixel.
  [ "$(od -An -tx1 -j54 -N3 "$out" 2>/dev/null | tr -d ' ')" = 336699 ] ||
    fail "$label: the colour of the settings in the XDG folder was not used"
  # The window keeps its lists in the same folder and writes nothing beside itself.
  QT_QPA_PLATFORM=offscreen "$bin/tessora" >/dev/null 2>&1 &
  local window=$! tries=0
  until [ -f "$XDG_CONFIG_HOME/tessora/PATHS to tiles.txt" ] || [ $tries -ge 100 ]; do
    sleep 0.2
    tries=$((tries + 1))
  done
  kill "$window" 2>/dev/null
  wait "$window" 2>/dev/null
  [ -f "$XDG_CONFIG_HOME/tessora/PATHS to tiles.txt" ] ||
    fail "$label: the window made no lists in the XDG folder"
  for name in Tessora.ini "PATHS to tiles.txt" "PATHS to tessoras.txt"; do
    [ -e "$bin/$name" ] && fail "$label: $name beside the program"
  done
  rm -f "$XDG_CONFIG_HOME/tessora/"*
}
check_programs "$root/usr/bin" scratch

if [ "$(id -u)" -eq 0 ] && ! dpkg-query -W tessora >/dev/null 2>&1; then
  step "installed for real"
  wait_lock=(-o DPkg::Lock::Timeout=600)
  if DEBIAN_FRONTEND=noninteractive apt-get "${wait_lock[@]}" install -y -qq "./$deb" >"$work/apt.log" 2>&1; then
    installed=yes
    dpkg -L tessora >"$work/files"
    [ "$(command -v tessora-compose)" = /usr/bin/tessora-compose ] || fail "tessora-compose is not on PATH"
    check_programs /usr/bin installed
    man -w tessora-compose >/dev/null 2>&1 || fail "man cannot find tessora-compose(1)"
    # Purged: the autostart entry under /etc is a configuration file, which a removal keeps.
    DEBIAN_FRONTEND=noninteractive apt-get "${wait_lock[@]}" purge -y -qq tessora >"$work/apt.log" 2>&1 ||
      fail "apt-get purge tessora: $(cat "$work/apt.log")"
    installed=""
    while read -r path; do
      [ -f "$path" ] || [ -L "$path" ] && fail "left behind after removal: $path"
    done <"$work/files"
    for dir in /usr/share/tessora /usr/libexec/tessora /usr/share/doc/tessora; do
      [ -e "$dir" ] && fail "left behind after removal: $dir"
    done
  else
    fail "apt-get install ./$deb: $(cat "$work/apt.log")"
  fi
fi

if [ $failures -ne 0 ]; then
  echo "$failures checks of the package failed" >&2
  exit 1
fi
echo "the package passed its checks"
