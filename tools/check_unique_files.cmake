# Fails when two files of the source tree have the same content. Files in a fuzzing seed folder
# (".../fuzz/seeds/", ".../fuzz/number_seeds/", ...) up to SEED_LIMIT bytes may repeat each other:
# tiny seeds of different fuzz targets can coincide.
#   cmake -DSOURCE_DIR=<tree> [-DUSE_GIT=OFF] [-DSEED_LIMIT=<bytes>] -P check_unique_files.cmake
# The files are those git knows (tracked, or new and not ignored); without git, or with USE_GIT=OFF,
# every file below SOURCE_DIR except .git, build*/ and out/ at the top.
cmake_minimum_required(VERSION 3.25)
if(NOT DEFINED SOURCE_DIR)
  message(FATAL_ERROR "SOURCE_DIR not set")
endif()
if(NOT DEFINED SEED_LIMIT)
  set(SEED_LIMIT 1024)
endif()

include("${CMAKE_CURRENT_LIST_DIR}/source_files.cmake")

set(hashes "")
set(count 0)
foreach(f IN LISTS files)
  set(p "${SOURCE_DIR}/${f}")
  # Listed but deleted in the working tree, or a link: not content of its own.
  if(f STREQUAL "" OR NOT EXISTS "${p}" OR IS_DIRECTORY "${p}" OR IS_SYMLINK "${p}")
    continue()
  endif()
  file(SHA256 "${p}" h)
  math(EXPR count "${count} + 1")
  list(APPEND same_${h} "${f}")
  list(APPEND hashes ${h})
endforeach()
list(REMOVE_DUPLICATES hashes)

set(repeated "")
foreach(h IN LISTS hashes)
  list(LENGTH same_${h} n)
  if(n LESS 2)
    continue()
  endif()
  set(allowed TRUE)
  foreach(f IN LISTS same_${h})
    file(SIZE "${SOURCE_DIR}/${f}" size)
    if(NOT f MATCHES "(^|/)fuzz/[^/]*seeds/" OR size GREATER SEED_LIMIT)
      set(allowed FALSE)
    endif()
  endforeach()
  if(NOT allowed)
    list(JOIN same_${h} ", " names)
    string(APPEND repeated "  same content: ${names}\n")
  endif()
endforeach()

if(repeated)
  message(FATAL_ERROR "Files written twice (keep one and refer to it):\n${repeated}")
endif()
message(STATUS "${count} files, no content written twice")
