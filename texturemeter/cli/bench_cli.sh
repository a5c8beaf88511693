#!/usr/bin/env bash
# Whole-process benchmark of texturemeter-cli: 100 copies of the bundled skin sample (wall time,
# CPU time and peak memory with one job and with all cores), and one 12-megapixel photograph
# (peak memory).
# Usage: texturemeter/cli/bench_cli.sh [BUILD_DIR] [SAMPLE] [COPIES]
set -euo pipefail
build=${1:-build}
sample=${2:-samples/skin_sample.jpg}
copies=${3:-100}
cli=$build/texturemeter/texturemeter-cli
make_photo=$build/texturemeter/cli/texturemeter_make_photo
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for i in $(seq -w 1 "$copies"); do cp "$sample" "$work/P$i.jpg"; done

measure() {  # measure LABEL ARGS...
  local label=$1; shift
  /usr/bin/time -v "$cli" "$@" 2> "$work/time.txt" > /dev/null
  awk -v label="$label" -F': ' '
    /Elapsed \(wall clock\)/ {wall = $2}
    /User time/ {user = $2}
    /System time/ {sys = $2}
    /Maximum resident set size/ {rss = $2}
    END {printf "%-34s wall %s  user %ss  sys %ss  peak RSS %.1f MB\n", label, wall, user, sys, rss / 1024}
  ' "$work/time.txt"
}

echo "texturemeter-cli on $copies copies of $(basename "$sample") (side 200, Start(A), --seed 1):"
measure "--jobs 1" --seed 1 --jobs 1 --output "$work/r1.csv" "$work"/P*.jpg
measure "--jobs $(nproc)" --seed 1 --jobs "$(nproc)" --output "$work/r2.csv" "$work"/P*.jpg
cmp -s "$work/r1.csv" "$work/r2.csv" && echo "results identical with 1 and $(nproc) jobs"

if [ -x "$make_photo" ]; then
  "$make_photo" "$sample" 4000 3000 "$work/big.jpg"
  echo "one 4000 x 3000 (12-megapixel) photograph:"
  measure "--jobs 1, 12 MP" --seed 1 --output "$work/big.csv" "$work/big.jpg"
fi
