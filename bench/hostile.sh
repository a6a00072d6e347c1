#!/usr/bin/env bash
# Every picture bomb the readers know, timed and weighed in a process of its own: the kept bomb
# seeds of the fuzz corpora, and the large files bench/hostile_pictures.py writes. Each must be
# done within the goals below; the readers' tests check the reasons and the memory, not time.
# The JPEG files are only measured: a JPEG's first scan codes a block in a bit or two, so a few
# megabytes can honestly hold the 20000 x 20000 picture they promise, and it costs its bitmap.
# usage: bench/hostile.sh BENCH_BUILD
set -euo pipefail
build=$1
here=$(cd "$(dirname "$0")" && pwd)
load="$build/bench/imageio/tessora_load_picture"
max_seconds=1
max_mb=300
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

files=("$here"/../fuzz/seeds/*/bomb-*)
for hostile in "png-tail 64" "png-empty 64" "png-chunks 64" "png-cut 16" "jpeg-cut 16" \
  "jpeg-scans 16" "jpeg-passes 2000" "gif-frames 16" "tiff-tiles 17"; do
  read -r kind amount <<<"$hostile"
  case $kind in png-*) ext=png ;; jpeg-*) ext=jpg ;; gif-*) ext=gif ;; tiff-*) ext=tif ;; esac
  python3 "$here/hostile_pictures.py" "$kind" "$amount" "$work/$kind.$ext"
  files+=("$work/$kind.$ext")
done

status=0
for f in "${files[@]}"; do
  line=$("$load" "$f" || true)
  echo "$line"
  read -r seconds mb < <(sed -E 's/.*: ([0-9.]+) s, peak ([0-9]+) MB.*/\1 \2/' <<<"$line")
  if [[ $f == *.jpg ]]; then
    continue
  fi
  if awk -v s="$seconds" -v m="$mb" -v S="$max_seconds" -v M="$max_mb" 'BEGIN {exit !(s > S || m > M)}'; then
    echo "hostile.sh: over the goal of $max_seconds s and $max_mb MB: $f" >&2
    status=1
  fi
done
echo "goal: every hostile file done in <= $max_seconds s and <= $max_mb MB"
exit $status
