# The files of the source tree that the tree checks read, as paths relative to SOURCE_DIR, in
# `files`: those git knows (tracked, or new and not ignored); without git, or with USE_GIT=OFF,
# every file below SOURCE_DIR except .git, build*/ and out/ at the top.
#   include("${CMAKE_CURRENT_LIST_DIR}/source_files.cmake")   (from a cmake -P script)
if(NOT DEFINED USE_GIT)
  set(USE_GIT ON)
endif()

set(files "")
set(listed FALSE)
if(USE_GIT)
  find_program(GIT git)
  if(GIT)
    execute_process(COMMAND "${GIT}" -C "${SOURCE_DIR}" -c core.quotePath=false
                            ls-files --cached --others --exclude-standard
                    OUTPUT_VARIABLE out RESULT_VARIABLE rc ERROR_QUIET)
    if(rc EQUAL 0)
      string(REPLACE "\n" ";" files "${out}")
      set(listed TRUE)
    endif()
  endif()
endif()
if(NOT listed)
  file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*")
  list(FILTER files EXCLUDE REGEX "^(\\.git|build[^/]*|out)/")
endif()
