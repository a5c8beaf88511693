# What the tests of the tree checks share: expect(<0 or 1> <text>) runs the check `check` on the
# small tree `work` (without git, with the extra definitions in `check_args`) and fails unless it
# passes (0) or fails (1) as wanted and its output holds `text`.
function(expect want text)
  execute_process(COMMAND "${CMAKE_COMMAND}" -DSOURCE_DIR=${work} -DUSE_GIT=OFF ${check_args} -P "${check}"
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(want EQUAL 0 AND NOT rc EQUAL 0)
    message(FATAL_ERROR "expected a pass, got:\n${out}${err}")
  elseif(want EQUAL 1 AND rc EQUAL 0)
    message(FATAL_ERROR "expected a failure, got:\n${out}${err}")
  endif()
  string(FIND "${out}${err}" "${text}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "output lacks \"${text}\":\n${out}${err}")
  endif()
endfunction()
