#!/usr/bin/env bash
# Installs the Debian 12 packages Tessora needs, by purpose; the lists are in scripts/packages/.
#   install-deps.sh [run]   building and running (build.txt, runtime.txt)
#   install-deps.sh test    the same and the tests (test.txt)
#   install-deps.sh bench   the same and the benchmarks and fuzz targets (bench.txt)
#   install-deps.sh fresh   the same and what makes a fresh Debian 12 for the package (fresh.txt)
# Only missing packages are installed; apt-get update runs only when something must be installed.
set -euo pipefail

lists="$(cd "$(dirname "$0")" && pwd)/packages"
case "${1:-run}" in
  run) groups=(build runtime) ;;
  test) groups=(build runtime test) ;;
  bench | --bench) groups=(build runtime bench) ;;
  desktops | --desktops) groups=(build runtime test desktops) ;;
  fresh | --fresh) groups=(build runtime fresh) ;;
  *)
    echo "usage: $0 [run|test|bench|desktops|fresh]" >&2
    exit 2
    ;;
esac

PACKAGES=()
for group in "${groups[@]}"; do
  # Comments and blank lines aside, every word is a package.
  read -r -a words <<<"$(sed 's/#.*//' "$lists/$group.txt" | tr '\n' ' ')"
  PACKAGES+=("${words[@]}")
done

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
# Another installation may be running on a shared machine: wait for it rather than fail.
wait_lock=(-o DPkg::Lock::Timeout=600)
$SUDO apt-get "${wait_lock[@]}" update -qq
$SUDO apt-get "${wait_lock[@]}" install -y -qq --no-install-recommends "${missing[@]}"
