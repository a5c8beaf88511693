# Fails when processor-specific vector code appears in a C or C++ file outside imaging/: intrinsics
# (_mm_*, _mm256_*, __m128 ...), their headers (immintrin.h, arm_neon.h ...), compiler builtins of
# one instruction set, or functions compiled for one (target attributes). Stages write their
# kernels in the portable vector types of imaging/vector_lanes.hpp, which alone names instructions.
#   cmake -DSOURCE_DIR=<tree> [-DUSE_GIT=OFF] -P check_vector_intrinsics.cmake
# The files are those git knows (tracked, or new and not ignored); without git, or with USE_GIT=OFF,
# every file below SOURCE_DIR except .git, build*/ and out/ at the top.
cmake_minimum_required(VERSION 3.25)
if(NOT DEFINED SOURCE_DIR)
  message(FATAL_ERROR "SOURCE_DIR not set")
endif()

include("${CMAKE_CURRENT_LIST_DIR}/source_files.cmake")
list(FILTER files INCLUDE REGEX "\\.(c|cc|cpp|cxx|h|hh|hpp|hxx|inc|ipp)$")
list(FILTER files EXCLUDE REGEX "^imaging/")

set(pattern "(^|[^A-Za-z0-9_])(_mm(256|512)?_[a-z]|__m(64|128|256|512)|__builtin_ia32_|__builtin_neon_|vld1q?_|vst1q?_)")
set(headers "[a-z0-9_]*intrin\\.h|arm_neon\\.h|arm_sve\\.h")
set(targets "gnu::target|target_clones|__attribute__ *\\(\\( *target")
set(any "${pattern}|${headers}|${targets}")

set(found_any FALSE)
set(count 0)
foreach(f IN LISTS files)
  set(p "${SOURCE_DIR}/${f}")
  if(f STREQUAL "" OR NOT EXISTS "${p}" OR IS_DIRECTORY "${p}")
    continue()
  endif()
  math(EXPR count "${count} + 1")
  file(STRINGS "${p}" hits REGEX "${any}")
  if(NOT hits)
    continue()
  endif()
  # Where in the file: every line that holds one, with its number.
  file(STRINGS "${p}" lines)
  set(number 0)
  foreach(line IN LISTS lines)
    math(EXPR number "${number} + 1")
    if(line MATCHES "${any}")
      message(STATUS "${f}:${number}: ${line}")
      set(found_any TRUE)
    endif()
  endforeach()
endforeach()

if(found_any)
  message(FATAL_ERROR "processor-specific vector code outside imaging/ (write the kernel in the lanes of "
                      "imaging/vector_lanes.hpp)")
endif()
message(STATUS "no processor-specific vector code outside imaging/ in ${count} C and C++ files")
