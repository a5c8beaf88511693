# Runs check_vector_intrinsics.cmake on small trees made here: intrinsics, their headers and
# target attributes outside imaging/ are reported by file and line, the same inside imaging/ and in
# files that are not C or C++ pass, and the build and .git folders are skipped.
set(work "${WORK_DIR}")
set(check "${CMAKE_CURRENT_LIST_DIR}/check_vector_intrinsics.cmake")

function(make_tree)
  file(REMOVE_RECURSE "${work}")
  file(MAKE_DIRECTORY "${work}/engine/src" "${work}/imaging/include" "${work}/build/x" "${work}/.git" "${work}/docs")
  file(WRITE "${work}/engine/src/stage.cpp" "#include \"imaging/vector_lanes.hpp\"\n// mm_ and m128 in words\nint f();\n")
  file(WRITE "${work}/imaging/include/lanes.hpp" "#include <immintrin.h>\n__m128d g(__m128d v) { return _mm_sqrt_pd(v); }\n")
  file(WRITE "${work}/build/x/moc.cpp" "#include <immintrin.h>\n")
  file(WRITE "${work}/.git/x.cpp" "_mm_add_ps\n")
  file(WRITE "${work}/docs/notes.md" "_mm256_add_pd and immintrin.h\n")
endfunction()

include("${CMAKE_CURRENT_LIST_DIR}/check_expect.cmake")

make_tree()
expect(0 "no processor-specific vector code outside imaging/ in 1 C and C++ files")

file(APPEND "${work}/engine/src/stage.cpp" "const auto v = _mm256_add_pd(a, b);\n")
expect(1 "engine/src/stage.cpp:4: const auto v = _mm256_add_pd(a, b);")

make_tree()
file(WRITE "${work}/engine/src/kernel.hpp" "#pragma once\n#if X\n#include <emmintrin.h>\n#endif\n")
expect(1 "engine/src/kernel.hpp:3: #include <emmintrin.h>")

make_tree()
file(WRITE "${work}/engine/src/wide.cc" "[[gnu::target(\"avx2\")]] void wide();\n")
expect(1 "engine/src/wide.cc:1:")

make_tree()
file(WRITE "${work}/engine/src/neon.c" "float32x4_t v = vld1q_f32(p);\n")
expect(1 "engine/src/neon.c:1:")

make_tree()
file(WRITE "${work}/engine/src/vec.h" "typedef __m256i wide;\n")
expect(1 "engine/src/vec.h:1: typedef __m256i wide;")
