# Runs check_unique_files.cmake on small trees made here: a repeated file is reported by name,
# tiny repeated fuzzing seeds pass, large ones do not, and the build and .git folders are skipped.
set(work "${WORK_DIR}")
set(check "${CMAKE_CURRENT_LIST_DIR}/check_unique_files.cmake")

function(make_tree)
  file(REMOVE_RECURSE "${work}")
  file(MAKE_DIRECTORY "${work}/a" "${work}/b" "${work}/imaging/fuzz/seeds" "${work}/build/x" "${work}/.git")
  file(WRITE "${work}/a/one.txt" "first\n")
  file(WRITE "${work}/b/two.txt" "second\n")
  file(WRITE "${work}/imaging/fuzz/seeds/p.bmp" "BM tiny")
  file(WRITE "${work}/imaging/fuzz/seeds/q.bmp" "BM tiny")
  file(WRITE "${work}/build/x/copy.txt" "first\n")
  file(WRITE "${work}/.git/copy.txt" "first\n")
endfunction()

set(check_args -DSEED_LIMIT=16)
include("${CMAKE_CURRENT_LIST_DIR}/check_expect.cmake")

make_tree()
expect(0 "4 files, no content written twice")

file(WRITE "${work}/b/copy.txt" "first\n")
expect(1 "same content: a/one.txt, b/copy.txt")

make_tree()
file(WRITE "${work}/imaging/fuzz/seeds/p.bmp" "BM larger than sixteen bytes")
file(WRITE "${work}/imaging/fuzz/seeds/q.bmp" "BM larger than sixteen bytes")
expect(1 "imaging/fuzz/seeds/p.bmp, imaging/fuzz/seeds/q.bmp")

make_tree()
file(WRITE "${work}/b/seed.bmp" "BM tiny")
expect(1 "b/seed.bmp")

make_tree()
file(MAKE_DIRECTORY "${work}/imaging/fuzz/number_seeds")
file(WRITE "${work}/imaging/fuzz/number_seeds/n" "BM tiny")
expect(0 "5 files, no content written twice")

file(REMOVE_RECURSE "${work}")
