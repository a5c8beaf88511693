# The check of check_control_names.cmake: a tree with a control name in a command-line tool
# fails, the same tree without it passes; so does a tool whose output or results header holds one.
#   cmake -DWORK_DIR=<scratch folder> -DCHECK=<check_control_names.cmake> -P check_control_names_test.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}/texturemeter/engine/include/texturemeter" "${WORK_DIR}/lesionmeter/cli/src")
file(WRITE "${WORK_DIR}/texturemeter/engine/include/texturemeter/a.hpp" "double outlineDimension; // Picture\n")
file(WRITE "${WORK_DIR}/lesionmeter/cli/src/main.cpp" "int lineFigure2 = 0;\n")
execute_process(COMMAND "${CMAKE_COMMAND}" -DSOURCE_DIR=${WORK_DIR} "-DFOLDERS=texturemeter/engine/include;lesionmeter/cli" -P "${CHECK}" RESULT_VARIABLE clean OUTPUT_QUIET)
if(NOT clean EQUAL 0)
  message(FATAL_ERROR "a tree without control names was reported")
endif()
foreach(name "Text14" "picture12" "setCheck1(" "kCommand4" "Label2:" "Option7" "File1" "dir1" "Drive1" "Frame2" "List3")
  file(WRITE "${WORK_DIR}/lesionmeter/cli/src/main.cpp" "int a = 0;\nstd::cout << \"${name}\";\n")
  execute_process(COMMAND "${CMAKE_COMMAND}" -DSOURCE_DIR=${WORK_DIR} "-DFOLDERS=texturemeter/engine/include;lesionmeter/cli" -P "${CHECK}" RESULT_VARIABLE rc
                  OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(rc EQUAL 0)
    message(FATAL_ERROR "the control name ${name} was not reported")
  endif()
  if(NOT out MATCHES "lesionmeter/cli/src/main.cpp:2:")
    message(FATAL_ERROR "the report does not name the file and line of ${name}: ${out}")
  endif()
endforeach()

# An exempted file may hold a control name; an exempted file that holds none, or that does not
# exist, is reported so that the list only shrinks.
file(WRITE "${WORK_DIR}/lesionmeter/cli/src/main.cpp" "int a = 0;\nstd::cout << \"Text14\";\n")
execute_process(COMMAND "${CMAKE_COMMAND}" -DSOURCE_DIR=${WORK_DIR} "-DFOLDERS=lesionmeter/cli"
                        "-DEXEMPT=lesionmeter/cli/src/main.cpp" -P "${CHECK}" RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "an exempted file was reported")
endif()
file(WRITE "${WORK_DIR}/lesionmeter/cli/src/main.cpp" "int a = 0;\n")
foreach(exempt "lesionmeter/cli/src/main.cpp" "lesionmeter/cli/src/gone.cpp")
  execute_process(COMMAND "${CMAKE_COMMAND}" -DSOURCE_DIR=${WORK_DIR} "-DFOLDERS=lesionmeter/cli"
                          "-DEXEMPT=${exempt}" -P "${CHECK}" RESULT_VARIABLE rc OUTPUT_VARIABLE out)
  if(rc EQUAL 0 OR NOT out MATCHES "${exempt}: exempted")
    message(FATAL_ERROR "the needless exemption of ${exempt} was not reported: ${out}")
  endif()
endforeach()

# A stand-in tool: prints a line and writes results.csv with a header, both taken from the
# files "printed" and "header" beside it.
set(tool_dir "${WORK_DIR}/bin")
file(MAKE_DIRECTORY "${tool_dir}")
file(WRITE "${tool_dir}/tool" "#!/bin/sh\ncat '${tool_dir}/printed'\ncat '${tool_dir}/warned' >&2\ncp '${tool_dir}/header' results.csv\n")
file(CHMOD "${tool_dir}/tool" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
file(WRITE "${WORK_DIR}/lesionmeter/cli/src/main.cpp" "int a = 0;\n")
function(run_with_tool printed header expect_failure)
  set(warned "")
  if(ARGC GREATER 3)
    set(warned "${ARGV3}")
  endif()
  file(WRITE "${tool_dir}/warned" "${warned}")
  file(WRITE "${tool_dir}/printed" "${printed}")
  file(WRITE "${tool_dir}/header" "${header}")
  execute_process(COMMAND "${CMAKE_COMMAND}" -DSOURCE_DIR=${WORK_DIR} "-DFOLDERS=lesionmeter/cli" -DTOOL=${tool_dir}/tool
                          "-DTOOL_ARGS=--csv;results.csv" -DWORK_DIR=${WORK_DIR}/run -P "${CHECK}"
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(expect_failure AND rc EQUAL 0)
    message(FATAL_ERROR "a control name in the tool's output or header was not reported: ${printed} / ${header}")
  endif()
  if(NOT expect_failure AND NOT rc EQUAL 0)
    message(FATAL_ERROR "a clean tool was reported: ${out} ${err}")
  endif()
endfunction()
run_with_tool("outlineDimension: 1.2\ncentroidX: 3\n" "photo,FRD1,profileRow140\n" FALSE)
run_with_tool("outlineDimension: 1.2\nText14: 3\n" "photo,FRD1\n" TRUE)
run_with_tool("outlineDimension: 1.2\n" "photo,Picture16,FRD1\n" TRUE)
run_with_tool("outlineDimension: 1.2\n" "photo,FRD1\n" TRUE "tool: the box Text5 is empty\n")
run_with_tool("outlineDimension: 1.2\n" "photo,FRD1\nphoto.jpg,1.5\n" FALSE "tool: seed 7\n")
run_with_tool("outlineDimension: 1.2\n" "photo,FRD1\nOption3,1.5\n" TRUE)
file(REMOVE_RECURSE "${WORK_DIR}")
