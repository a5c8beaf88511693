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
  # The tool decodes only the part of a JPEG around the square; a PNG is read whole. Squares in
  # the middle, at every edge and corner and reaching past the edge (white there) give the same
  # lines in every variant.
  if "$make_photo" "$skin" 0 0 "$work/Pskin.png"; then
    cp "$skin" "$work/Pskin.jpg"
    for at in "0 0" "217 133" "440 0" "0 280" "440 280" "500 300" "620 470" "-30 -20" "100 479"; do
      set -- $at
      for v in A B C; do
        "$cli" --seed 2 --x "$1" --y "$2" --variant $v --output "$work/rj.csv" "$work/Pskin.jpg" >/dev/null 2>&1
        sj=$?
        "$cli" --seed 2 --x "$1" --y "$2" --variant $v --output "$work/rp.csv" "$work/Pskin.png" >/dev/null 2>&1
        sp=$?
        [ $sj -eq $sp ] || fail "square at $at, variant $v: JPEG exit $sj, PNG exit $sp"
        [ "$(tail -n +2 "$work/rj.csv" | cut -d, -f2-)" = "$(tail -n +2 "$work/rp.csv" | cut -d, -f2-)" ] ||
          fail "square at $at, variant $v: the JPEG's part gives other lines than the whole PNG"
      done
    done
  fi
fi

# 4. Errors: a clear message, a non-zero exit, the header written before stays, others go on.
expect_error() {  # expect_error STATUS PATTERN ARGS...
  local want=$1 pattern=$2; shift 2
  "$cli" "$@" 2> "$work/err.txt"; local got=$?
  [ "$got" -eq "$want" ] || fail "exit $got (want $want) for: $*"
  grep -q -- "$pattern" "$work/err.txt" || fail "message '$pattern' missing for: $* (got: $(cat "$work/err.txt"))"
}
# The run's own parameters are checked before the results file is opened: exit 2, the error the
# run would give, and an earlier results file left byte for byte.
"$cli" --seed 1 --output "$work/e.csv" "$skin" || fail "good run before the parameter errors exited $?"
cp "$work/e.csv" "$work/e.before"
expect_error 2 "Subscript out of range" --side 500 --output "$work/e.csv" "$skin"
expect_error 2 "Division by zero" --side 0 --output "$work/e.csv" "$skin"
# 0.5 rounds to 0 (halves to even), so it is the same error with the same hint.
expect_error 2 "must not be 0" --side 0.5 --output "$work/e.csv" "$skin"
expect_error 2 'Type mismatch: "abc" is not a number' --side abc --output "$work/e.csv" "$skin"
expect_error 2 'Type mismatch: "abc" is not a number' --window abc --output "$work/e.csv" "$skin"
expect_error 2 "Type mismatch" --neighbour x --output "$work/e.csv" "$skin"
expect_error 2 "Invalid procedure call or argument" --window 19 --output "$work/e.csv" "$skin"
# 481..499 do not fit the default tile side: the hint names the pair and the largest side that fits.
expect_error 2 "--side 481 with --window 40: .*use --side 480 or less" --side 481 --output "$work/e.csv" "$skin"
expect_error 2 "--side 200 with --window 0.5" --window 0.5 --output "$work/e.csv" "$skin"
cmp -s "$work/e.csv" "$work/e.before" || fail "a parameter error changed the earlier results file"
"$cli" --seed 1 --side 480 --output "$work/e480.csv" "$skin" || fail "--side 480 with --window 40 should fit"
black_bmp "$work/black.bmp"
expect_error 1 "Division by zero" --variant C --side 40 --output "$work/e.csv" "$work/black.bmp"
# Start(A) on a black square works up to the sampling line, whose rings leave a square below 121.
expect_error 1 "Subscript out of range" --variant A --side 40 --seed 1 --output "$work/e.csv" "$work/black.bmp"
[ "$(wc -l < "$work/e.csv")" -eq 2 ] || fail "header and result row written before the error should stay"
expect_error 1 "File not found" --seed 1 --output "$work/e.csv" "$skin" "$work/missing.jpg" "$lesion"
[ "$(wc -l < "$work/e.csv")" -eq 5 ] || fail "the images around a failing one should still be written"
echo "not a picture" > "$work/text.jpg"
expect_error 1 "Invalid picture" --output "$work/e.csv" "$work/text.jpg"
# Two inputs whose derived names coincide (the first character of the name is dropped) would
# write and read back each other's derived images: refused before anything is written.
cp "$skin" "$work/P77.jpg"; cp "$lesion" "$work/Q77.jpg"; mkdir -p "$work/kept"
expect_error 2 "would both write their derived images as 77h.bmp" --seed 1 --output "$work/clash.csv" \
  --keep-derived "$work/kept" "$work/P77.jpg" "$work/Q77.jpg"
[ ! -e "$work/clash.csv" ] || fail "a refused batch should not write the results file"
[ -z "$(ls -A "$work/kept")" ] || fail "a refused batch should not write derived images"
"$cli" --seed 1 --output "$work/clash.csv" "$work/P77.jpg" "$work/Q77.jpg" || fail "without --keep-derived the same names are fine"
"$cli" --variant D "$skin" 2>/dev/null && fail "an unknown variant should be refused"

# 5. No output replaces an input: the results file or a derived image that is an input
#    photograph (in any spelling) is refused before any work and the photograph stays.
mkdir -p "$work/in" "$work/in/sub"; cp "$skin" "$work/in/same.jpg"; cp "$lesion" "$work/in/other.jpg"
for spelling in "$work/in/same.jpg" "$work/in/./same.jpg" "$work/in/sub/../same.jpg"; do
  expect_error 2 "--output .* is the input photograph" --output "$spelling" "$work/in/same.jpg"
  cmp -s "$work/in/same.jpg" "$skin" || fail "--output $spelling replaced the photograph"
done
# A shell pattern as --output's value: its first match becomes the output.
(cd "$work/in" && "$cli" --seed 1 --output *.jpg) 2> "$work/err.txt"; got=$?
[ "$got" -eq 2 ] || fail "--output *.jpg exited $got (want 2)"
grep -q -- "--output other.jpg is a JPEG picture, not a results file" "$work/err.txt" || fail "--output *.jpg: $(cat "$work/err.txt")"
cmp -s "$work/in/other.jpg" "$lesion" && cmp -s "$work/in/same.jpg" "$skin" || fail "--output *.jpg replaced a photograph"
# A photograph whose derived name is its own ("aa.bmp" writes "a" + "a.bmp").
mkdir -p "$work/kd"; black_bmp "$work/kd/aa.bmp"; cp "$work/kd/aa.bmp" "$work/aa.before"
(cd "$work/kd" && "$cli" --seed 1 --output r.csv --keep-derived . aa.bmp) 2> "$work/err.txt"; got=$?
[ "$got" -eq 2 ] || fail "--keep-derived . aa.bmp exited $got (want 2)"
grep -q "derived image .*aa.bmp.* is the input photograph" "$work/err.txt" || fail "aa.bmp: $(cat "$work/err.txt")"
cmp -s "$work/kd/aa.bmp" "$work/aa.before" || fail "--keep-derived replaced aa.bmp"
[ ! -e "$work/kd/r.csv" ] || fail "a refused batch should not write the results file"
# The results file may not be a derived image either.
expect_error 2 "is also --output" --output "$work/kept/77a.bmp" --keep-derived "$work/kept" "$work/P77.jpg"

# 6. Write errors: a full device names the file and the system's reason.
if [ -c /dev/full ]; then
  expect_error 2 "Cannot write results file (No space left on device): /dev/full" --output /dev/full "$skin"
fi
expect_error 2 "Cannot write file (No such file or directory)" --output "$work/no/such/dir/r.csv" "$skin"

# 7. Positions: a square entirely outside the photograph (640 x 480) is refused; one reaching past
#    an edge is analysed as the window does, with a warning naming the overhang.
expect_error 1 "lies entirely outside the photograph (640 x 480)" --x -500 --output "$work/p.csv" "$skin"
expect_error 1 "lies entirely outside" --x 700 --output "$work/p.csv" "$skin"
"$cli" --seed 1 --x 500 --output "$work/p.csv" "$skin" 2> "$work/err.txt" || fail "an overhanging square exited $?"
grep -q "warning: the square --x 500 --y 0 --side 200 (pixels 500..700, 0..200) reaches 61 pixels past the right edge" \
  "$work/err.txt" || fail "overhang warning: $(cat "$work/err.txt")"
[ "$(wc -l < "$work/p.csv")" -eq 3 ] || fail "an overhanging square should still give its rows"

# 8. Names with a comma or a line break are quoted, so the file stays comma-separated values.
cp "$skin" "$work/P1,2.jpg"; cp "$skin" "$work/Pline"$'\n'"break.jpg"
"$cli" --seed 1 --output "$work/q.csv" "$work/P1,2.jpg" "$work/Pline"$'\n'"break.jpg" || fail "odd names exited $?"
[ "$(sed -n 2p "$work/q.csv" | cut -c1-11)" = '"P1,2.jpg",' ] || fail "comma name not quoted: $(sed -n 2p "$work/q.csv")"
[ "$(sed -n 4p "$work/q.csv")" = '"Pline' ] && [ "$(sed -n 5p "$work/q.csv" | cut -c1-11)" = 'break.jpg",' ] ||
  fail "line-break name not quoted: $(sed -n 4,5p "$work/q.csv")"
[ "$(sed -n 2p "$work/q.csv" | cut -d, -f3- | awk -F, '{print NF}')" -eq 13 ] || fail "quoted row lost a field"
# Read back by Python's csv module: five records of 14, 12, 14 and 12 fields, the names as they are.
if command -v python3 > /dev/null; then
  python3 - "$work/q.csv" <<'PY' || fail "Python's csv module reads the quoted names wrongly"
import csv, sys
with open(sys.argv[1], newline="") as f:
    rows = list(csv.reader(f))
assert [len(r) for r in rows] == [14, 14, 12, 14, 12], [len(r) for r in rows]
assert rows[1][0] == "P1,2.jpg" and rows[3][0] == "Pline\nbreak.jpg", (rows[1][0], rows[3][0])
PY
fi

# 9. Plain messages for the options.
"$cli" --jobs 0 "$skin" 2> "$work/err.txt" && fail "--jobs 0 should be refused"
grep -q 'must be a whole number from 1..4096, not "0"' "$work/err.txt" || fail "--jobs 0: $(cat "$work/err.txt")"
"$cli" --seed -1 "$skin" 2> "$work/err.txt" && fail "--seed -1 should be refused"
grep -q 'must be a whole number from 0..18446744073709551615, not "-1"' "$work/err.txt" || fail "--seed -1: $(cat "$work/err.txt")"
mkdir -p "$work/folder.jpg"
expect_error 1 "Cannot read file (Is a directory)" --output "$work/f.csv" "$work/folder.jpg"
"$cli" --seed 1 --jobs 1000 --output "$work/j.csv" "$skin" "$lesion" 2> "$work/err.txt" || fail "--jobs 1000 exited $?"
grep -q -- "--jobs 1000 reduced to [12] (2 images, [0-9]* core" "$work/err.txt" || fail "--jobs 1000: $(cat "$work/err.txt")"

# 10. Ctrl-C in a batch: no new image is started, the finished rows are written, stderr says how
#     many images were not analysed, exit status 130.
mkdir -p "$work/batch"
for i in $(seq 10 49); do cp "$skin" "$work/batch/P$i.jpg"; done
"$cli" --seed 1 --jobs 1 --output "$work/int.csv" "$work/batch/"*.jpg 2> "$work/int.err" &
pid=$!
for _ in $(seq 1 1200); do
  [ "$(cat "$work/int.csv" 2>/dev/null | wc -l)" -ge 5 ] && break
  sleep 0.05
done
kill -INT "$pid"; wait "$pid"; got=$?
[ "$got" -eq 130 ] || fail "an interrupted batch exited $got (want 130)"
skipped=$(sed -n 's/.*interrupted: \([0-9]*\) of 40 images were not analysed.*/\1/p' "$work/int.err")
if [ -z "$skipped" ] || [ "$skipped" -le 0 ]; then
  fail "interrupted batch: $(cat "$work/int.err")"
else
  [ "$(wc -l < "$work/int.csv")" -eq $((1 + 2 * (40 - skipped))) ] ||
    fail "interrupted batch should hold the rows of the $((40 - skipped)) analysed images: $(wc -l < "$work/int.csv") lines"
  [ "$(tail -c 2 "$work/int.csv" | od -An -c | tr -d ' ')" = '\r\n' ] || fail "interrupted batch ends inside a line"
fi

# 11. Inputs before outputs: a batch in which no photograph can be read leaves an existing
#     results file byte for byte and creates none.
"$cli" --seed 1 --output "$work/prev.csv" "$skin" || fail "run before the unreadable inputs exited $?"
cp "$work/prev.csv" "$work/prev.before"
expect_error 1 "File not found: $work/missing.jpg" --seed 1 --output "$work/prev.csv" "$work/missing.jpg"
cmp -s "$work/prev.csv" "$work/prev.before" || fail "a missing photograph changed the earlier results file"
expect_error 1 "Invalid picture" --seed 1 --output "$work/prev.csv" "$work/missing.jpg" "$work/text.jpg" "$work/folder.jpg"
cmp -s "$work/prev.csv" "$work/prev.before" || fail "a batch of unreadable photographs changed the results file"
expect_error 1 "File not found" --seed 1 --output "$work/none.csv" "$work/missing.jpg"
[ ! -e "$work/none.csv" ] || fail "a batch of missing photographs should not create the results file"

# 12. Whole entries: when the file may not grow (a file size limit stands in for a full disk), the
#     file holds the header and whole entries (result row and sampling line) of the images before,
#     a prefix of the full file, ending in CR LF; the tool says why and exits with 2.
"$cli" --seed 5 --output "$work/full.csv" "$skin" "$lesion" "$skin" "$lesion" || fail "unlimited run exited $?"
(trap '' XFSZ; ulimit -f 1; exec "$cli" --seed 5 --output "$work/cut.csv" "$skin" "$lesion" "$skin" "$lesion") \
  2> "$work/err.txt"; got=$?
[ "$got" -eq 2 ] || fail "a run that cannot grow its file exited $got (want 2)"
grep -q "Cannot write results file (File too large): $work/cut.csv" "$work/err.txt" || fail "size limit: $(cat "$work/err.txt")"
size=$(stat -c %s "$work/cut.csv")
[ "$size" -le 1024 ] && [ "$size" -gt 0 ] || fail "limited file has $size bytes"
[ "$(head -c "$size" "$work/full.csv" | cmp - "$work/cut.csv" && echo same)" = same ] ||
  fail "the limited file is not the start of the full one"
[ $(( $(wc -l < "$work/cut.csv") % 2 )) -eq 1 ] || fail "the limited file ends inside an entry"
[ "$(tail -c 2 "$work/cut.csv" | od -An -c | tr -d ' ')" = '\r\n' ] || fail "the limited file ends inside a line"

# 13. One writer at a time: four runs at once on one results file leave one run's whole file
#     (header, then result rows of 14 fields each followed by its sampling line of 12); a run
#     finding the file locked says it waits; with --no-wait it is refused and changes nothing.
for i in 1 2 3 4; do
  "$cli" --seed $i --jobs 1 --output "$work/shared.csv" "$skin" "$lesion" "$skin" 2> "$work/shared$i.err" &
done
wait
[ "$(head -1 "$work/shared.csv" | tr -d '\r')" = "$(head -1 "$work/a.csv" | tr -d '\r')" ] || fail "shared file: header"
fields=$(tail -n +2 "$work/shared.csv" | tr -d '\r' | awk -F, '{printf "%d ", NF}')
[ "$fields" = "14 12 14 12 14 12 " ] || fail "four runs at once: fields per line $fields"
[ "$(grep -c $'\r$' "$work/shared.csv")" -eq 7 ] || fail "four runs at once: lines without CR LF"
if command -v flock > /dev/null; then
  # Another holder of the lock, released only once the waiting run has said that it waits.
  cp "$work/prev.before" "$work/held.csv"
  rm -f "$work/release"
  flock "$work/held.csv" sh -c "while [ ! -e '$work/release' ]; do sleep 0.05; done" &
  holder=$!
  for _ in $(seq 1 200); do flock -n "$work/held.csv" true || break; sleep 0.05; done
  expect_error 2 "results file $work/held.csv is being written by another run" --no-wait --seed 1 \
    --output "$work/held.csv" "$skin"
  cmp -s "$work/held.csv" "$work/prev.before" || fail "--no-wait changed the locked results file"
  "$cli" --seed 1 --output "$work/held.csv" "$skin" 2> "$work/wait.err" &
  waiter=$!
  for _ in $(seq 1 1200); do grep -q "waiting for another run" "$work/wait.err" && break; sleep 0.05; done
  grep -q "texturemeter-cli: waiting for another run to finish writing results file $work/held.csv" "$work/wait.err" ||
    fail "the waiting run said nothing: $(cat "$work/wait.err")"
  cmp -s "$work/held.csv" "$work/prev.before" || fail "the waiting run wrote before the lock was free"
  touch "$work/release"
  wait "$holder"
  wait "$waiter" || fail "the waiting run exited $?"
  cmp -s "$work/held.csv" "$work/prev.before" || fail "the waiting run wrote other lines"
fi

# 14. No output replaces a photograph: an existing picture named as --output, --json or a kept
#     derived image is refused before any work (exit 2) and stays byte for byte; so is any other
#     file under a derived image's name.
mkdir -p "$work/victims"; cp "$lesion" "$work/victims/victim.jpg"
expect_error 2 "--output $work/victims/victim.jpg is a JPEG picture, not a results file; it is not replaced" \
  --output "$work/victims/victim.jpg" "$skin"
expect_error 2 "--json $work/victims/victim.jpg is a JPEG picture, not a JSON file; it is not replaced" \
  --output "$work/victims/v.csv" --json "$work/victims/victim.jpg" "$skin"
black_bmp "$work/victims/kin_sampleh.bmp"; cp "$work/victims/kin_sampleh.bmp" "$work/victim.bmp.before"
expect_error 2 "the derived image $work/victims/kin_sampleh.bmp is an existing BMP picture; it is not replaced" \
  --output "$work/victims/v.csv" --keep-derived "$work/victims" "$skin"
cmp -s "$work/victims/kin_sampleh.bmp" "$work/victim.bmp.before" || fail "--keep-derived replaced an existing BMP"
cmp -s "$work/victims/victim.jpg" "$lesion" || fail "an output replaced the photograph victim.jpg"
rm "$work/victims/kin_sampleh.bmp"; echo "notes" > "$work/victims/kin_samplee.bmp"
expect_error 2 "the derived image $work/victims/kin_samplee.bmp already exists; it is not replaced" \
  --output "$work/victims/v.csv" --keep-derived "$work/victims" "$skin"
[ "$(cat "$work/victims/kin_samplee.bmp")" = notes ] || fail "--keep-derived replaced an existing file"
[ "$(ls "$work/victims" | tr '\n' ' ')" = "kin_samplee.bmp victim.jpg " ] || fail "a refused run wrote: $(ls "$work/victims")"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "texturemeter-cli end-to-end checks passed"
