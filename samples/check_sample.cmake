# Runs the sample generator into OUTPUT and fails unless the result equals SAMPLE byte for
# byte. Usage: cmake -DGENERATOR=... -DSAMPLE=... -DOUTPUT=... -P check_sample.cmake
execute_process(COMMAND ${GENERATOR} ${OUTPUT} RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${GENERATOR} failed with ${result}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${SAMPLE} ${OUTPUT}
                RESULT_VARIABLE differ)
if(NOT differ EQUAL 0)
  message(FATAL_ERROR "${SAMPLE} differs from what the generator writes; regenerate it "
                      "(see samples/README.md)")
endif()
