# The check of check_gesture_calls.cmake: a tree whose tool runs the analysis steps passes; the
# same tree with a gesture call (or the interaction model) in a tool or the Python module fails
# and names the file and line; a gesture named only in a comment passes.
#   cmake -DWORK_DIR=<scratch folder> -DCHECK=<check_gesture_calls.cmake> -P check_gesture_calls_test.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}/lesionmeter/cli/src" "${WORK_DIR}/python/skinmeters")
set(steps "analysis.addSample(SampleClass::In, 3, 4);\nanalysis.calcAndDraw();\n// not leftClick(3, 4) here\n")
file(WRITE "${WORK_DIR}/python/skinmeters/__init__.py" "import os  # no selectIn() here\n")

function(expect_result content pyfile expect_failure)
  file(WRITE "${WORK_DIR}/lesionmeter/cli/src/run.cpp" "${content}")
  file(WRITE "${WORK_DIR}/python/skinmeters/extra.py" "${pyfile}")
  execute_process(COMMAND "${CMAKE_COMMAND}" -DSOURCE_DIR=${WORK_DIR} "-DFOLDERS=lesionmeter/cli;python"
                          -P "${CHECK}" RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(expect_failure AND rc EQUAL 0)
    message(FATAL_ERROR "a gesture call was not reported: ${content} ${pyfile}")
  endif()
  if(NOT expect_failure AND NOT rc EQUAL 0)
    message(FATAL_ERROR "a tree without gesture calls was reported: ${out} ${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

expect_result("${steps}" "x = 1\n" FALSE)
foreach(gesture "session.leftClick(3, 4);" "s.selectIn();" "session.pointerMove (1, 2);" "m.selectLine();"
                "session.openChooser();" "replayMarks(session, marks);" "LesionSession session(random);"
                "#include \"lesionmeter/lesion_session.hpp\"" "t.pressPhoto(1, 2, side);")
  expect_result("int a = 0;\n${gesture}\n" "x = 1\n" TRUE)
  if(NOT out MATCHES "lesionmeter/cli/src/run.cpp:2:")
    message(FATAL_ERROR "the report does not name the file and line of ${gesture}: ${out}")
  endif()
endforeach()
expect_result("${steps}" "x = 1\nsession.rightClick(1, 2)\n" TRUE)
if(NOT out MATCHES "python/skinmeters/extra.py:2:")
  message(FATAL_ERROR "the report does not name the Python file and line: ${out}")
endif()
file(REMOVE_RECURSE "${WORK_DIR}")
