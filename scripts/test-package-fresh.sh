#!/usr/bin/env bash
# Installs the Debian package on a minimal Debian 12 made with debootstrap, as a user's fresh
# machine would get it: apt-get install from the mirror, the programs from PATH (a composition,
# every picture format, the window offscreen, the user's files in the XDG folders), then removal
# and autoremoval, after which none of its files and none of the packages it pulled in may be
# left. Prints what the package costs: its size, the download, the installed size, the time, and
# what it adds to the system with and without the recommended packages.
#
#   test-package-fresh.sh [--no-install-recommends] [BUILD]     (as root)
#
# The base system is made once into BUILD/fresh-root (delete it to make it again); every run works
# on an overlay of it, so each starts from the same untouched system. The mirror is the one this
# machine's apt uses; FRESH_MIRROR overrides it.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
inside_dir=/tmp/tessora-fresh # the folder of the inputs and results, seen from the chroot

# ---------------------------------------------------------------------------------------------
# Inside the chroot: the user's side. Every check runs; the failures are counted.
# ---------------------------------------------------------------------------------------------
inside() {
  local recommends=$1
  cd "$inside_dir"
  export DEBIAN_FRONTEND=noninteractive HOME=/root LC_ALL=C.UTF-8
  unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_RUNTIME_DIR DISPLAY WAYLAND_DISPLAY
  failures=0
  fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
  }
  step() { echo "== $*"; }
  # The figures go to a file the outer script prints at the end.
  figure() { printf '%-34s %s\n' "$1" "$2" >>figures; }

  dpkg-query -W -f '${db:Status-Abbrev}${Package}\n' | sed -n 's/^ii *//p' | sort >packages.before

  step "apt-get update"
  apt-get update -q >apt-update.log 2>&1 || {
    cat apt-update.log
    return 1
  }

  added_size yes
  added_size no

  step "apt-get install ./$(basename "$deb_name")"
  local t0=$SECONDS extra=()
  [ "$recommends" = yes ] || extra=(--no-install-recommends)
  if ! apt-get install -y "${extra[@]}" "./$deb_name" >apt-install.log 2>&1; then
    cat apt-install.log
    return 1
  fi
  figure "install time (download included)" "$((SECONDS - t0)) s"
  sed -n 's/^Need to get \(.*\) of archives.*/\1/p' apt-install.log | head -1 >need
  figure "apt downloads" "$(cat need) ($(du -cb /var/cache/apt/archives/*.deb | tail -1 |
    cut -f1) bytes)"
  figure "disk used by all it installed" \
    "$(sed -n 's/^After this operation, \(.*\) of additional.*/\1/p' apt-install.log)"
  figure "tessora's Installed-Size" "$(dpkg-query -W -f '${Installed-Size}' tessora) KiB"
  dpkg-query -W -f '${db:Status-Abbrev}${Package}\n' | sed -n 's/^ii *//p' | sort >packages.after
  comm -13 packages.before packages.after >packages.new
  figure "packages it pulled in" "$(($(wc -l <packages.new) - 1))"
  check_pulled_in
  dpkg -L tessora >files

  check_programs
  check_formats
  check_window
  remove_again

  if [ $failures -ne 0 ]; then
    echo "$failures checks on the fresh system failed" >&2
    return 1
  fi
}

# What installing the package would add, as apt-get tells before it asks (and is told no): the
# disk space and the packages besides tessora, with or without the recommended ones.
added_size() { # yes|no
  local extra=() log="apt-plan-recommends-$1.log" size count
  [ "$1" = yes ] || extra=(--no-install-recommends)
  apt-get install --assume-no "${extra[@]}" "./$deb_name" >"$log" 2>&1 || true
  size=$(sed -n 's/^After this operation, \(.*\) of additional.*/\1/p' "$log")
  count=$(sed -n 's/^[0-9]* upgraded, \([0-9]*\) newly installed.*/\1/p' "$log")
  if [ -z "$size" ] || [ -z "$count" ]; then
    fail "apt-get tells no size for the package (recommends: $1): $(tail -3 "$log")"
    return
  fi
  local label="added with Recommends"
  [ "$1" = yes ] || label="added without Recommends"
  figure "$label" "$size, $((count - 1)) packages besides tessora"
}

# Nothing for building or testing comes with the package, directly or through another package.
check_pulled_in() {
  step "what the package pulled in"
  local dev
  dev=$(grep -E -- '-(dev|dbg)$|^(libgtest|libgmock|googletest)' packages.new || true)
  [ -z "$dev" ] && return
  fail "packages for building or testing installed with it: $(echo $dev)"
}

check_programs() {
  step "tessora-compose from PATH"
  [ "$(command -v tessora-compose)" = /usr/bin/tessora-compose ] ||
    fail "tessora-compose is not on PATH"
  tessora-compose --help | grep -q -- '--output' || fail "tessora-compose --help"
  for program in /usr/bin/tessora /usr/bin/tessora-compose /usr/libexec/tessora/*; do
    ! ldd "$program" | grep 'not found' || fail "$program lacks a library"
  done
  # The user's settings, where an installed program reads them: ~/.config with no XDG variable.
  # Their deep background colour ($00BBGGRR) is the composition's colour.
  mkdir -p /root/.config/tessora
  printf '[program parameters]\r\ndeep background color=$00996633\r\n' \
    >/root/.config/tessora/Tessora.ini
  tessora-compose -q --size 64x48 -o wall.png || fail "composing a PNG"
  # The PNG's header: its width and height, big-endian, from byte 16.
  [ "$(od -An -tu1 -j16 -N8 wall.png | tr -s ' ')" = " 0 0 0 64 0 0 0 48" ] ||
    fail "wall.png is not 64 x 48"
  # Read back, its pixels are the colour: a 24-bit BMP stores blue, green, red.
  tessora-compose -q --size 4x3 --tile wall.png -o wall.bmp || fail "reading wall.png back"
  [ "$(od -An -tx1 -j54 -N3 wall.bmp | tr -d ' ')" = 996633 ] ||
    fail "wall.png has the wrong colour"
}

# Each format's picture, tiled over a small wallpaper, gives the same pixels as the build on the
# development machine did: the libraries of the fresh system decode it alike. Each picture bomb is
# refused before it is decoded, for the reason the development build gave.
check_formats() {
  step "picture formats"
  local picture name
  for picture in pictures/*; do
    name=$(basename "$picture")
    if ! tessora-compose -q --size 40x30 --deep-color '#000000' --tile "$picture" \
      -o "loaded/$name.bmp" 2>"loaded/$name.err"; then
      fail "$name not loaded: $(cat "loaded/$name.err")"
    elif ! cmp -s "loaded/$name.bmp" "expected/$name.bmp"; then
      fail "$name decoded differently from the development build"
    fi
  done
  echo "$(find loaded -name '*.bmp' | wc -l) of $(find pictures -type f | wc -l) pictures loaded"
  local refused=0
  for picture in bombs/*; do
    name=$(basename "$picture")
    if tessora-compose -q --size 40x30 --deep-color '#000000' --tile "$picture" \
      -o "loaded/$name.bmp" 2>"loaded/$name.err"; then
      fail "$name was loaded, not refused"
    elif ! cmp -s "loaded/$name.err" "expected/$name.err"; then
      fail "$name refused as \"$(cat "loaded/$name.err")\", not as \"$(cat "expected/$name.err")\""
    else
      refused=$((refused + 1))
    fi
  done
  echo "$refused of $(find bombs -type f | wc -l) picture bombs refused for their reason"
}

# The window and the wallpaper keep the user's files in the XDG folders of the home and write
# nothing anywhere else, beside the programs least of all (root could).
check_window() {
  step "the window offscreen and --set-wallpaper"
  touch marker
  sleep 1
  QT_QPA_PLATFORM=offscreen tessora >window.log 2>&1 &
  local window=$! tries=0 lists=/root/.config/tessora/PATHS\ to\ tiles.txt
  until [ -f "$lists" ] || [ $tries -ge 150 ]; do
    sleep 0.2
    tries=$((tries + 1))
  done
  sleep 1
  kill "$window" 2>/dev/null || fail "the window ended by itself: $(cat window.log)"
  wait "$window" 2>/dev/null || true
  [ -f "$lists" ] || fail "the window made no lists in ~/.config/tessora"
  ! grep -iE 'plugin|cannot|could not|error' window.log || fail "the window's messages"
  # A display no desktop answers on: the file is written all the same, then not taken.
  DISPLAY=:99 QT_QPA_PLATFORM=offscreen tessora-compose --size 32x24 --set-wallpaper \
    >set.log 2>&1 || true
  [ -f "/root/.local/share/tessora/Tessora Wallpaper.bmp" ] ||
    fail "--set-wallpaper wrote nothing in ~/.local/share/tessora: $(cat set.log)"
  ! grep -iE 'plugin|shared object|signal' set.log || fail "the desktop helper's messages"
  echo "the user's files: $(cd /root && find .config .local -type f | tr '\n' ' ')"
  local elsewhere
  elsewhere=$(find / -xdev -newer marker -not -path "$inside_dir/*" -not -path '/root/*' \
    -not -path /root -not -path "$inside_dir" -not -path '/tmp/*' -type f 2>/dev/null || true)
  [ -z "$elsewhere" ] || fail "written outside the home: $(echo $elsewhere)"
}

remove_again() {
  # Purged: the autostart entry under /etc is a configuration file, which a removal keeps.
  step "apt-get purge tessora, apt-get autoremove"
  apt-get purge -y tessora >apt-remove.log 2>&1 || fail "apt-get purge: $(cat apt-remove.log)"
  apt-get autoremove -y >apt-autoremove.log 2>&1 || fail "apt-get autoremove"
  local path left=()
  while read -r path; do
    # A folder that stays must belong to another package too, as /usr/bin does.
    if [ -d "$path" ] && [ ! -L "$path" ]; then
      dpkg -S "$path" >/dev/null 2>&1 || left+=("$path")
    elif [ -e "$path" ] || [ -L "$path" ]; then
      left+=("$path")
    fi
  done <files
  [ ${#left[@]} -eq 0 ] || fail "left behind after removal: ${left[*]}"
  dpkg-query -W -f '${db:Status-Abbrev}${Package}\n' | sed -n 's/^ii *//p' | sort >packages.end
  local kept
  kept=$(comm -13 packages.before packages.end)
  [ -z "$kept" ] || fail "installed with it and left after autoremove: $(echo $kept)"
  [ "$(dpkg-query -W -f '${db:Status-Abbrev}' tessora 2>/dev/null)" != "rc " ] ||
    fail "configuration files of tessora are left"
  echo "$(wc -l <files) paths of the package checked after the removal"
}

if [ "${1:-}" = --inside ]; then
  deb_name=$3
  inside "$2"
  exit
fi

# ---------------------------------------------------------------------------------------------
# Outside: the base system, the overlay, the mounts, the inputs.
# ---------------------------------------------------------------------------------------------
recommends=yes
if [ "${1:-}" = --no-install-recommends ]; then
  recommends=no
  shift
fi
cd "$here/.."
build=$(cd "${1:-build}" && pwd)
start=$SECONDS

if [ "$(id -u)" -ne 0 ]; then
  echo "run as root: debootstrap and chroot need it" >&2
  exit 2
fi
command -v debootstrap >/dev/null || {
  echo "debootstrap is missing: scripts/install-deps.sh fresh" >&2
  exit 2
}
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb=dist/tessora_${version}_amd64.deb
compose=$build/cli/tessora-compose
for needed in "$deb" "$compose"; do
  [ -e "$needed" ] || {
    echo "no $needed: run make package first" >&2
    exit 2
  }
done

# The Debian suites this machine's apt reads (main, updates, security), as "URI SUITE COMPONENT".
debian_sources() {
  apt-get indextargets --format '$(ORIGIN) $(REPO_URI) $(RELEASE) $(COMPONENT)' 2>/dev/null |
    awk '$1 == "Debian" && $3 ~ /^bookworm/ { print $2, $3, $4 }' | sort -u
}

# What a killed run (or debootstrap, which mounts /proc and /sys in its target) left mounted.
unmount_below() { # folder
  awk -v dir="$1/" 'index($2 "/", dir) == 1 { print $2 }' /proc/mounts | sort -r |
    while read -r target; do umount -l "$target"; done
}

make_base() { # folder
  local base=$1 partial=$1.partial sources mirror
  sources=$(debian_sources)
  mirror=${FRESH_MIRROR:-$(awk '$2 == "bookworm" { print $1; exit }' <<<"$sources")}
  mirror=${mirror:-http://deb.debian.org/debian/}
  echo "== debootstrap bookworm (minbase) from $mirror into $base"
  local t0=$SECONDS
  local log=$build/fresh-debootstrap.log
  debootstrap --variant=minbase bookworm "$partial" "$mirror" >"$log" 2>&1 || {
    tail -20 "$log" >&2
    return 1
  }
  # What a Debian 12 installation reads: the release, its updates and its security fixes.
  if [ -n "$sources" ] && [ -z "${FRESH_MIRROR:-}" ]; then
    awk '{ print "deb", $1, $2, $3 }' <<<"$sources" >"$partial/etc/apt/sources.list"
  fi
  # This machine's clock may be past the mirror's Valid-Until: take its apt's view of dates.
  apt-config dump | grep -E '^Acquire::Check-(Valid-Until|Date) ' \
    >"$partial/etc/apt/apt.conf.d/99host-clock" || true
  # No service started by a package in a chroot.
  printf '#!/bin/sh\nexit 101\n' >"$partial/usr/sbin/policy-rc.d"
  chmod 755 "$partial/usr/sbin/policy-rc.d"
  chroot "$partial" apt-get clean
  echo "$((SECONDS - t0))" >"$partial/.debootstrap-seconds"
  mv "$partial" "$base"
}

# Depends names no package for building or testing: no -dev package, nothing of the build's or
# the tests' lists.
depends_fault=""
depends=$(dpkg-deb -f "$deb" Depends | sed -e 's/([^)]*)//g' -e 's/[|,]/\n/g' | tr -d ' ' | sort -u)
read -r -a build_only <<<"$(sed 's/#.*//' scripts/packages/build.txt scripts/packages/test.txt |
  tr '\n' ' ')"
for name in $depends; do
  case " ${build_only[*]} " in *" $name "*) depends_fault+=" $name" ;; esac
  case "$name" in *-dev | *-dbg) depends_fault+=" $name" ;; esac
done

# One run at a time: a run's folders left by one that was killed outright can then go safely.
exec 9>"$build/fresh.lock"
flock -n 9 || {
  echo "another test-package-fresh run is using $build" >&2
  exit 2
}
for stale in "$build"/fresh-run.* "$build/fresh-root.partial"; do
  [ -d "$stale" ] || continue
  unmount_below "$stale"
  rm -rf --one-file-system "$stale"
done

base=$build/fresh-root
[ -d "$base" ] || make_base "$base"

# A run's folder: the overlay's upper layer and what the chroot sees, removed at the end.
run=$(mktemp -d "$build/fresh-run.XXXXXX")
root=$run/root
mounted=()
cleanup() {
  local status=$? pid i
  # Whatever still runs in the chroot (the window, should a check have stopped early).
  for pid in /proc/[0-9]*; do
    [ "$(readlink "$pid/root" 2>/dev/null)" = "$root" ] && kill -9 "${pid#/proc/}" 2>/dev/null
  done
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}" || true
  done
  if ! grep -qF " $run" /proc/mounts; then
    rm -rf --one-file-system "$run"
  else
    echo "still mounted below $run: left in place" >&2
  fi
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
mount_in() { # type source target [options]
  mount -t "$1" ${4:+-o "$4"} "$2" "$3"
  mounted+=("$3")
}

mkdir -p "$run/upper" "$run/work" "$root"
if ! mount_in overlay overlay "$root" \
  "lowerdir=$base,upperdir=$run/upper,workdir=$run/work" 2>/dev/null; then
  echo "(no overlayfs here: a copy of the base system)"
  cp -a "$base/." "$root/"
fi
mount_in proc proc "$root/proc"
mount_in sysfs sysfs "$root/sys" ro
mount_in tmpfs tmpfs "$root/dev/shm" mode=1777
mount_in devpts devpts "$root/dev/pts" newinstance,ptmxmode=0666
cp -L /etc/resolv.conf "$root/etc/resolv.conf"

# The inputs: the package, the pictures of each format's fuzz seeds and what the development
# build makes of them. The seeds named bomb-* are the picture bombs, which must be refused; the
# others must load. Both are run from the folder the chroot runs them from, so that the messages
# name the same paths.
box=$root$inside_dir
mkdir -p "$box/pictures" "$box/bombs" "$box/expected" "$box/loaded"
cp "$deb" "$here/$(basename "$0")" "$box/"
for format in png jpeg gif bmp webp avif heif tiff jxl; do
  for seed in "fuzz/seeds/$format"/*; do
    case "$(basename "$seed")" in
      bomb-*) cp "$seed" "$box/bombs/$format-$(basename "$seed")" ;;
      *) cp "$seed" "$box/pictures/$format-$(basename "$seed")" ;;
    esac
  done
done
inputs_fault=""
for picture in "$box"/pictures/* "$box"/bombs/*; do
  name=$(basename "$picture")
  case "$picture" in
    "$box"/pictures/*) output=expected/$name.bmp ;;
    *) output=loaded/$name.bmp ;;
  esac
  if (cd "$box" && XDG_CONFIG_HOME=$run/host-config "$compose" -q --size 40x30 \
    --deep-color '#000000' --tile "${picture#"$box"/}" -o "$output" 2>"expected/$name.err"); then
    [ "$output" = "expected/$name.bmp" ] ||
      inputs_fault+=$'\n'"  bomb $name is loaded by the development build"
  elif [ "$output" = "expected/$name.bmp" ]; then
    inputs_fault+=$'\n'"  $name is not loaded by the development build: $(cat "$box/expected/$name.err")"
  fi
done
rm -f "$box"/loaded/*

status=0
if [ -n "$inputs_fault" ]; then
  echo "FAIL: the fuzz seeds are not what their names say:$inputs_fault" >&2
  status=1
fi
if [ -n "$depends_fault" ]; then
  echo "FAIL: Depends names packages for building or testing:$depends_fault" >&2
  status=1
fi
# In the background, so that a signal stops the run at once rather than after the chroot's end.
chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin TERM=dumb \
  bash "$inside_dir/$(basename "$0")" --inside "$recommends" "$(basename "$deb")" &
wait $! || status=$?

# What apt did and what came with the package, for a look afterwards.
mkdir -p "$build/fresh-last"
for log in apt-plan-recommends-yes.log apt-plan-recommends-no.log apt-install.log apt-remove.log apt-autoremove.log packages.new window.log set.log; do
  [ -f "$box/$log" ] && cp "$box/$log" "$build/fresh-last/"
done

echo "== figures (Debian 12 minbase, recommends: $recommends)"
printf '%-34s %s\n' ".deb size" "$(stat -c %s "$deb") bytes ($(du -k "$deb" | cut -f1) KiB)"
[ -f "$box/figures" ] && cat "$box/figures"
[ -f "$base/.debootstrap-seconds" ] &&
  printf '%-34s %s\n' "base system (made once)" "$(cat "$base/.debootstrap-seconds") s"
printf '%-34s %s\n' "this run" "$((SECONDS - start)) s"
if [ $status -ne 0 ]; then
  echo "the package failed on the fresh system" >&2
  exit 1
fi
echo "the package installs, runs and leaves cleanly on a fresh Debian 12"
