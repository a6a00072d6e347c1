#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a bounded time, each from its seeds and its past
# crashers. A target of several corpora (BUILD_DIR/fuzz/<target>.corpora lists them, as for the
# picture readers) runs once per corpus, held to it by TESSORA_FUZZ_FORMAT. A target that fails
# leaves its input in BUILD_DIR/fuzz/findings/<target>/; the other targets still run, and the
# script fails at the end.
# usage: run-fuzzers.sh BUILD_DIR SECONDS
set -euo pipefail
build=$1
seconds=$2
root=$(cd "$(dirname "$0")/.." && pwd)
found=0
failed=()
# run TARGET NAME CORPUS FORMAT: one run from the corpus's seeds and crashers.
run() {
  local f=$1 name=$2 corpus_name=$3 format=$4
  local corpus="$build/fuzz/corpus/$name"
  local findings="$build/fuzz/findings/$name"
  mkdir -p "$corpus" "$findings"
  local args=("$corpus")
  for dir in "$root/fuzz/seeds/$corpus_name" "$root/fuzz/crashers/$corpus_name"; do
    [ -d "$dir" ] && args+=("$dir")
  done
  echo "== $name for ${seconds}s"
  if ! TESSORA_FUZZ_FORMAT="$format" "$f" -max_total_time="$seconds" -rss_limit_mb=2048 \
      -timeout=10 -print_final_stats=1 -artifact_prefix="$findings/" "${args[@]}"; then
    failed+=("$name")
  fi
}
for f in $(find "$build/fuzz" -name 'fuzz_*' -type f -executable | sort); do
  found=1
  name=$(basename "$f")
  if [ -f "$f.corpora" ]; then
    for corpus in $(cat "$f.corpora"); do
      run "$f" "$name.$corpus" "$corpus" "$corpus"
    done
  else
    run "$f" "$name" "${name#fuzz_}" ""
  fi
done
if [ "$found" -eq 0 ]; then
  echo "no fuzz targets built"
fi
if [ "${#failed[@]}" -gt 0 ]; then
  echo "== failed: ${failed[*]}"
  echo "Inputs are in $build/fuzz/findings/. Once fixed, keep each as"
  echo "fuzz/crashers/<target without fuzz_>/<what is wrong with it>: ctest then replays it."
  exit 1
fi
