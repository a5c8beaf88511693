# Fails when a headless route or an engine's analysis code calls a gesture: a click, a pointer
# move, an option button or the chooser of a window's interaction model (selectIn, leftClick,
# pointerMove, selectLine, openChooser, ...), or reaches for the interaction models themselves
# (LesionSession, TextureSession). The command-line tools, the Python module and the engines run
# an analysis by calling its steps directly; gestures belong to the models and the windows.
#   cmake -DSOURCE_DIR=<tree> "-DFOLDERS=lesionmeter/cli;python" -P check_gesture_calls.cmake
# Comments are not read (// in C++, # in Python).
cmake_minimum_required(VERSION 3.25)
if(NOT DEFINED SOURCE_DIR OR NOT DEFINED FOLDERS)
  message(FATAL_ERROR "SOURCE_DIR and FOLDERS must be set")
endif()

set(gestures "selectIn|selectOut|pointerMove|mouseDown|leftClick|rightClick|eraserMove|pointerOverLesionMap")
string(APPEND gestures "|openChooser|loadImage|selectLine|selectBlackWhite|selectEraser|showInformation")
string(APPEND gestures "|hideInformation|setRgbOutputTicked|replayMarks|pressPhoto|movePointerOverPhoto|pressP[0-9]")
set(call "(^|[^A-Za-z0-9_])(${gestures})[ \t]*\\(")
set(model "(LesionSession|TextureSession|lesion_session\\.hpp|texture_session\\.hpp)")

set(files "")
foreach(folder IN LISTS FOLDERS)
  if(NOT IS_DIRECTORY "${SOURCE_DIR}/${folder}")
    message(FATAL_ERROR "no folder ${folder} below ${SOURCE_DIR}")
  endif()
  file(GLOB_RECURSE found LIST_DIRECTORIES false "${SOURCE_DIR}/${folder}/*.cpp" "${SOURCE_DIR}/${folder}/*.hpp"
       "${SOURCE_DIR}/${folder}/*.py")
  list(APPEND files ${found})
endforeach()

set(found_any FALSE)
foreach(f IN LISTS files)
  file(RELATIVE_PATH name "${SOURCE_DIR}" "${f}")
  file(STRINGS "${f}" lines)
  set(number 0)
  foreach(line IN LISTS lines)
    math(EXPR number "${number} + 1")
    if(f MATCHES "\\.py$")
      string(REGEX REPLACE "#.*$" "" code "${line}")
    else()
      string(REGEX REPLACE "//.*$" "" code "${line}")
    endif()
    if(code MATCHES "${call}" OR code MATCHES "${model}")
      message(STATUS "${name}:${number}: ${line}")
      set(found_any TRUE)
    endif()
  endforeach()
endforeach()

list(LENGTH files count)
if(found_any)
  message(FATAL_ERROR "gesture calls in the ${count} files of ${FOLDERS} (listed above): call the analysis steps")
endif()
message(STATUS "no gesture calls in the ${count} files of ${FOLDERS}")
