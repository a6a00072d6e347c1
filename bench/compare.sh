#!/usr/bin/env bash
# Times tessora-compose against ImageMagick's convert and libvips on the same work at
# 3840 x 2160, interleaved round by round, and prints each median and the ratios.
# usage: bench/compare.sh [BUILD_DIR] (default build-bench; needs tessora-compose built there)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build-bench}" && pwd)
rounds=${ROUNDS:-7}
compose="$build/cli/tessora-compose"
pngenc="$build/bench/compose/tessora_png_encode"
im=$(command -v convert-im6.q16 || true)
vips=$(command -v vips || true)
for tool in "$compose" "$pngenc"; do
  [ -x "$tool" ] || { echo "compare.sh: $tool is not built"; exit 1; }
done
if [ -z "$im" ] || [ -z "$vips" ]; then
  echo "compare.sh: needs ImageMagick and libvips (apt-get install imagemagick libvips-tools)"
  exit 1
fi

work=$(mktemp -d /dev/shm/tessora-compare.XXXXXX 2>/dev/null || mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$im" -size 256x256 -seed 7 plasma:fractal tile.png
"$im" -size 4000x3000 -seed 11 plasma:fractal -quality 92 center.jpg

W=3840
H=2160
T="$compose --size ${W}x$H --quiet"
# The center at the default sizing: 1780 x 1335 at (1030, 413), as tessora places it.
IM_COMPOSE="$im -size ${W}x$H tile:tile.png ( center.jpg -sample 1780x1335! ) -gravity center -composite"
vips_compose() {
  "$vips" replicate tile.png rep.v 15 9 && "$vips" crop rep.v bg.v 0 0 $W $H &&
    "$vips" resize center.jpg c.v 0.445 --kernel nearest && "$vips" insert bg.v c.v "$1" 1030 413
}

tasks=(fill compose_bmp compose_jpg compose_png gradient_bmp)
run() {  # task tool
  case "$1:$2" in
    fill:tessora) $T --deep-color '#336699' -o fill.bmp ;;
    fill:convert) "$im" -size ${W}x$H 'xc:#336699' BMP3:fill-im.bmp ;;
    fill:vips) "$vips" black b.v $W $H --bands 3 && "$vips" linear b.v fill-v.bmp "1 1 1" "51 102 153" --uchar ;;
    compose_bmp:tessora) $T --tile tile.png --center center.jpg --sizing default -o c.bmp ;;
    compose_bmp:convert) $IM_COMPOSE BMP3:c-im.bmp ;;
    compose_bmp:vips) vips_compose c-v.bmp ;;
    compose_jpg:tessora) $T --tile tile.png --center center.jpg --sizing default -o c.jpg ;;
    compose_jpg:convert) $IM_COMPOSE -quality 77 c-im.jpg ;;
    compose_jpg:vips) vips_compose "c-v.jpg[Q=77]" ;;
    compose_png:tessora) $T --tile tile.png --center center.jpg --sizing default -o c.png ;;
    compose_png:convert) $IM_COMPOSE c-im.png ;;
    compose_png:vips) vips_compose c-v.png ;;
    gradient_bmp:tessora) $T --color1 '#102030' --color2 '#f0e0d0' --background vertical -o g.bmp ;;
    gradient_bmp:convert) "$im" -size ${W}x$H 'gradient:#102030-#f0e0d0' BMP3:g-im.bmp ;;
    gradient_bmp:vips) return 0 ;;
  esac
}

declare -A times
for ((r = 0; r < rounds; r++)); do
  for task in "${tasks[@]}"; do
    for tool in tessora convert vips; do
      start=$(date +%s%N)
      if ! run "$task" "$tool" >/dev/null 2>&1; then
        echo "compare.sh: $task with $tool failed" >&2
        exit 1
      fi
      end=$(date +%s%N)
      times[$task:$tool]+="$(((end - start) / 1000000)) "
    done
  done
done

median() { tr ' ' '\n' | grep -v '^$' | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }

printf '%-14s %10s %10s %10s %12s %10s\n' task tessora_ms convert_ms vips_ms convert/tess vips/tess
for task in "${tasks[@]}"; do
  t=$(echo "${times[$task:tessora]}" | median)
  c=$(echo "${times[$task:convert]}" | median)
  v=$(echo "${times[$task:vips]}" | median)
  [ "$task" = gradient_bmp ] && v=0
  printf '%-14s %10s %10s %10s %12s %10s\n' "$task" "$t" "$c" "$v" "$(ratio "$c" "$t")" \
    "$( [ "$v" = 0 ] && echo - || ratio "$v" "$t")"
done
enc=$("$pngenc" c.bmp "$rounds")
tpng=$(echo "${times[compose_png:tessora]}" | median)
echo
echo "libpng alone, default settings, same frame: $enc ms; compose + PNG / libpng: $(ratio "$tpng" "$enc")"
echo "goals: compose_bmp convert/tess >= 2, vips/tess >= 1.8; compose_jpg convert/tess >= 2;"
echo "       gradient_bmp convert/tess >= 5; compose + PNG / libpng <= 1.1"
