#!/usr/bin/env bash
# End-to-end checks of texturemeter-cli: reproducible seeded runs, the file layout, input order
# with several images and jobs, derived images, BMP input and the error exits.
# Usage: cli_test.sh CLI SAMPLES_DIR [MAKE_PHOTO]
set -u
cli=$1
samples=$2
make_photo=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

skin=$samples/skin_sample.jpg
lesion=$samples/lesion_sample.jpg

# A uniform black 64 x 64 BMP (24-bit, bottom-up rows of 192 bytes).
black_bmp() {
  local le32
  le32() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $((($1 >> 8) & 255)))\\x$(printf %02x $((($1 >> 16) & 255)))\\x$(printf %02x $((($1 >> 24) & 255)))"; }
  {
    printf 'BM'; le32 $((54 + 64 * 64 * 3)); le32 0; le32 54
    le32 40; le32 64; le32 64; printf '\x01\x00\x18\x00'; le32 0; le32 $((64 * 64 * 3)); le32 2835; le32 2835; le32 0; le32 0
    head -c $((64 * 64 * 3)) /dev/zero
  } > "$1"
}

# 1. The same seed gives the same file, byte for byte; the file has header, row, sampling line.
"$cli" --seed 7 --output "$work/a.csv" "$skin" || fail "seeded run exited $?"
"$cli" --seed 7 --output "$work/b.csv" "$skin" || fail "second seeded run exited $?"
cmp -s "$work/a.csv" "$work/b.csv" || fail "two runs with --seed 7 differ"
[ "$(wc -l < "$work/a.csv")" -eq 3 ] || fail "one image should give 3 lines, got $(wc -l < "$work/a.csv")"
[ "$(grep -c $'\r$' "$work/a.csv")" -eq 3 ] || fail "every line should end in CR LF"
head -1 "$work/a.csv" | grep -q '^NAME,Monochrome--FR-AVE,' || fail "header line missing"
row=$(sed -n 2p "$work/a.csv" | tr -d '\r')
[ "$(echo "$row" | awk -F, '{print NF}')" -eq 14 ] || fail "result row should have 14 fields: $row"
[ "$(echo "$row" | awk -F, '{print $11}')" = "" ] || fail "column 11 should be empty: $row"
echo "$row" | grep -q "^$(basename "$skin")," || fail "row should start with the image name: $row"
[ "$(sed -n 3p "$work/a.csv" | awk -F, '{print NF}')" -eq 12 ] || fail "sampling line should have 12 fields"

# 2. Several images: header once, rows in input order, independent of --jobs.
"$cli" --seed 3 --jobs 1 --output "$work/m1.csv" "$skin" "$lesion" "$skin" || fail "multi-image run exited $?"
"$cli" --seed 3 --jobs 3 --output "$work/m3.csv" "$skin" "$lesion" "$skin" || fail "parallel run exited $?"
cmp -s "$work/m1.csv" "$work/m3.csv" || fail "--jobs 1 and --jobs 3 give different files"
[ "$(wc -l < "$work/m1.csv")" -eq 7 ] || fail "three images should give 7 lines"
names=$(awk -F, 'NR == 2 || NR == 4 || NR == 6 {print $1}' "$work/m1.csv" | tr '\n' ' ')
[ "$names" = "$(basename "$skin") $(basename "$lesion") $(basename "$skin") " ] || fail "rows out of order: $names"
# The first image of a seeded batch is seeded as a single-image run with the same seed.
"$cli" --seed 3 --output "$work/single.csv" "$skin" || fail "single run exited $?"
[ "$(sed -n 2,3p "$work/m1.csv")" = "$(sed -n 2,3p "$work/single.csv")" ] || fail "first image differs from its single run"
# The non-random columns of an image do not depend on its place (only columns 12 and the sampling line may).
a=$(sed -n 2p "$work/m1.csv" | cut -d, -f1-11,13-14); b=$(sed -n 6p "$work/m1.csv" | cut -d, -f1-11,13-14)
[ "$a" = "$b" ] || fail "same image at two places gives different non-random columns"

# 3. Derived images are written and kept only when asked; a BMP input gives the same grey image.
mkdir -p "$work/derived"
"$cli" --seed 1 --output "$work/k.csv" --keep-derived "$work/derived" "$skin" || fail "--keep-derived exited $?"
base=$(basename "$skin"); base=${base:1}; base=${base%????}
for e in h a b c e; do [ -s "$work/derived/${base}$e.bmp" ] || fail "derived image ${base}$e.bmp missing"; done
[ ! -e "$work/derived/${base}d.bmp" ] || fail "d.bmp must not be written"
"$cli" --seed 1 --output "$work/bmp.csv" "$work/derived/${base}a.bmp" || fail "BMP input exited $?"
# The same pixels as PNG and as BMP give the same result row as the JPEG they were decoded from.
if [ -n "$make_photo" ]; then
  if "$make_photo" "$lesion" 0 0 "$work/Plesion.png"; then
    cp "$lesion" "$work/Plesion.jpg"
    "$cli" --seed 4 --output "$work/jpg.csv" "$work/Plesion.jpg" || fail "JPEG run exited $?"
    "$cli" --seed 4 --output "$work/png.csv" "$work/Plesion.png" || fail "PNG input exited $?"
    [ "$(sed -n 2p "$work/jpg.csv" | cut -d, -f2-)" = "$(sed -n 2p "$work/png.csv" | cut -d, -f2-)" ] ||
      fail "PNG of the same pixels gives a different result row"
  else
    fail "could not write a PNG test photograph"
  fi
fi

# 4. Errors: a clear message, a non-zero exit, the header written before stays, others go on.
expect_error() {  # expect_error STATUS PATTERN ARGS...
  local want=$1 pattern=$2; shift 2
  "$cli" "$@" 2> "$work/err.txt"; local got=$?
  [ "$got" -eq "$want" ] || fail "exit $got (want $want) for: $*"
  grep -q -- "$pattern" "$work/err.txt" || fail "message '$pattern' missing for: $* (got: $(cat "$work/err.txt"))"
}
expect_error 1 "Subscript out of range" --side 500 --output "$work/e.csv" "$skin"
[ "$(wc -l < "$work/e.csv")" -eq 1 ] || fail "the header written before the error should stay"
expect_error 1 "Division by zero" --side 0 --output "$work/e.csv" "$skin"
# 0.5 rounds to 0 (halves to even), so it is the same error with the same hint.
expect_error 1 "must not be 0" --side 0.5 --output "$work/e.csv" "$skin"
expect_error 1 "Type mismatch" --side abc --output "$work/e.csv" "$skin"
expect_error 1 "Type mismatch" --window forty --output "$work/e.csv" "$skin"
expect_error 1 "Type mismatch" --neighbour x --output "$work/e.csv" "$skin"
expect_error 1 "Invalid procedure call or argument" --window 19 --output "$work/e.csv" "$skin"
black_bmp "$work/black.bmp"
expect_error 1 "Division by zero" --variant C --side 40 --output "$work/e.csv" "$work/black.bmp"
# Start(A) on a black square works up to the sampling line, whose rings leave a square below 121.
expect_error 1 "Subscript out of range" --variant A --side 40 --seed 1 --output "$work/e.csv" "$work/black.bmp"
[ "$(wc -l < "$work/e.csv")" -eq 2 ] || fail "header and result row written before the error should stay"
expect_error 1 "File not found" --seed 1 --output "$work/e.csv" "$skin" "$work/missing.jpg" "$lesion"
[ "$(wc -l < "$work/e.csv")" -eq 5 ] || fail "the images around a failing one should still be written"
echo "not a picture" > "$work/text.jpg"
expect_error 1 "Invalid picture" --output "$work/e.csv" "$work/text.jpg"
expect_error 2 "Cannot open results file" --output "$work/no/such/dir/r.csv" "$skin"
# Two inputs whose derived names coincide (the first character of the name is dropped) would
# write and read back each other's derived images: refused before anything is written.
cp "$skin" "$work/P77.jpg"; cp "$lesion" "$work/Q77.jpg"; mkdir -p "$work/kept"
expect_error 2 "would both write their derived images as 77h.bmp" --seed 1 --output "$work/clash.csv" \
  --keep-derived "$work/kept" "$work/P77.jpg" "$work/Q77.jpg"
[ ! -e "$work/clash.csv" ] || fail "a refused batch should not write the results file"
[ -z "$(ls -A "$work/kept")" ] || fail "a refused batch should not write derived images"
"$cli" --seed 1 --output "$work/clash.csv" "$work/P77.jpg" "$work/Q77.jpg" || fail "without --keep-derived the same names are fine"
"$cli" --variant D "$skin" 2>/dev/null && fail "an unknown variant should be refused"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "texturemeter-cli end-to-end checks passed"
