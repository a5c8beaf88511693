# Fails when a window control name (one of the words Picture, Text, Command, Label, Option, Check,
# in any case, directly followed by a number) appears in the given folders: the engines' public
# headers and the command-line tools, which name things by what they measure. Control names
# belong only to each window's layout and mapping code.
#   cmake -DSOURCE_DIR=<tree> "-DFOLDERS=texturemeter/cli;lesionmeter/cli" -P check_control_names.cmake
# With -DTOOL=<program> "-DTOOL_ARGS=..." -DWORK_DIR=<scratch folder>, the program is also run in
# the scratch folder with those arguments (which name a results file "results.csv"), and its
# standard output and the results file's header are checked the same way.
cmake_minimum_required(VERSION 3.25)
if(NOT DEFINED SOURCE_DIR)
  message(FATAL_ERROR "SOURCE_DIR not set")
endif()

if(NOT DEFINED FOLDERS)
  message(FATAL_ERROR "FOLDERS not set")
endif()

set(files "")
foreach(folder IN LISTS FOLDERS)
  if(NOT IS_DIRECTORY "${SOURCE_DIR}/${folder}")
    message(FATAL_ERROR "no folder ${folder} below ${SOURCE_DIR}")
  endif()
  file(GLOB_RECURSE found LIST_DIRECTORIES false "${SOURCE_DIR}/${folder}/*")
  list(APPEND files ${found})
endforeach()

# "Picture12" or "text5" on its own or after a non-letter, and "kPicture12"-like camel case.
set(word "([Pp][Ii][Cc][Tt][Uu][Rr][Ee]|[Tt][Ee][Xx][Tt]|[Cc][Oo][Mm][Mm][Aa][Nn][Dd]|[Ll][Aa][Bb][Ee][Ll]|[Oo][Pp][Tt][Ii][Oo][Nn]|[Cc][Hh][Ee][Cc][Kk])[0-9]")
set(camel "[a-z](Picture|Text|Command|Label|Option|Check)[0-9]")
# Reports every line of `content` that holds a control name, under `name`; sets found_any.
function(check_text name content)
  string(REPLACE ";" "," content "${content}")
  string(REPLACE "[" "(" content "${content}")
  string(REPLACE "]" ")" content "${content}")
  string(REPLACE "\\" "/" content "${content}")
  string(REPLACE "\n" ";" lines "${content}")
  set(number 0)
  foreach(line IN LISTS lines)
    math(EXPR number "${number} + 1")
    if(line MATCHES "(^|[^A-Za-z])${word}" OR line MATCHES "${camel}")
      message(STATUS "${name}:${number}: ${line}")
      set(found_any TRUE PARENT_SCOPE)
    endif()
  endforeach()
endfunction()

set(found_any FALSE)
foreach(f IN LISTS files)
  file(READ "${f}" content)
  file(RELATIVE_PATH name "${SOURCE_DIR}" "${f}")
  check_text("${name}" "${content}")
endforeach()
list(LENGTH files count)
set(checked "the ${count} files of ${FOLDERS}")

if(DEFINED TOOL)
  file(REMOVE_RECURSE "${WORK_DIR}")
  file(MAKE_DIRECTORY "${WORK_DIR}")
  execute_process(COMMAND "${TOOL}" ${TOOL_ARGS} WORKING_DIRECTORY "${WORK_DIR}"
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${TOOL} failed (${rc}): ${err}")
  endif()
  if(NOT EXISTS "${WORK_DIR}/results.csv")
    message(FATAL_ERROR "${TOOL} wrote no results.csv")
  endif()
  file(STRINGS "${WORK_DIR}/results.csv" header LIMIT_COUNT 1)
  get_filename_component(tool_name "${TOOL}" NAME)
  check_text("${tool_name} standard output" "${out}")
  check_text("${tool_name} results header" "${header}")
  file(REMOVE_RECURSE "${WORK_DIR}")
  set(checked "${checked}, the standard output and results header of ${tool_name}")
endif()

if(found_any)
  message(FATAL_ERROR "window control names in ${checked} (listed above)")
endif()
message(STATUS "no control names in ${checked}")
