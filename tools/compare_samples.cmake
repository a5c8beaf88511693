# Regenerates the sample photographs into OUT_DIR and compares them byte for byte with SAMPLES_DIR.
file(REMOVE_RECURSE "${OUT_DIR}")
execute_process(COMMAND "${GENERATOR}" "${OUT_DIR}" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "make_samples failed (${rc})")
endif()
foreach(name skin_sample.jpg lesion_sample.jpg)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${OUT_DIR}/${name}" "${SAMPLES_DIR}/${name}"
                  RESULT_VARIABLE diff)
  if(NOT diff EQUAL 0)
    message(FATAL_ERROR "${name} differs from the bundled sample: regenerate with make_samples (samples/README.md)")
  endif()
endforeach()
