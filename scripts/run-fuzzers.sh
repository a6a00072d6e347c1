#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a bounded time, each from its seed corpus.
# usage: run-fuzzers.sh BUILD_DIR SECONDS
set -euo pipefail
build=$1
seconds=$2
root=$(cd "$(dirname "$0")/.." && pwd)
found=0
for f in $(find "$build/fuzz" -name 'fuzz_*' -type f -executable | sort); do
  found=1
  name=$(basename "$f")
  corpus="$build/fuzz/corpus/$name"
  mkdir -p "$corpus"
  seeds="$root/fuzz/seeds/${name#fuzz_}"
  args=("$corpus")
  [ -d "$seeds" ] && args+=("$seeds")
  echo "== $name for ${seconds}s"
  "$f" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 "${args[@]}"
done
if [ "$found" -eq 0 ]; then
  echo "no fuzz targets built"
fi
