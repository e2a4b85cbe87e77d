# Runs a command and fails unless it exits with EXPECTED. The command's stdout and then its
# stderr are passed through so that a test can also match them.
# Usage: cmake -DEXPECTED=<status> [checks] -P expect_exit.cmake <program> [args...]
#
# Optional checks for commands that change a file (each failure prints "check failed: "):
#   -DCOPY_FROM=<file> -DCOPY_TO=<file>  copy COPY_FROM to COPY_TO before the command runs
#   -DEXPECT_SAME=1                      COPY_TO must still equal COPY_FROM afterwards
#   -DEXPECT_GROWTH=<bytes>              COPY_TO must have grown by this many bytes
#   -DNO_FILES=<glob>                    no file may match the glob afterwards (left-overs)
set(command)
set(collect FALSE)
math(EXPR last "${CMAKE_ARGC} - 1")
foreach(i RANGE ${last})
  if(collect)
    list(APPEND command "${CMAKE_ARGV${i}}")
  elseif(CMAKE_ARGV${i} STREQUAL "-P")
    set(collect TRUE)
  endif()
endforeach()
list(POP_FRONT command)  # this script
if(DEFINED COPY_FROM)
  file(COPY_FILE "${COPY_FROM}" "${COPY_TO}")
endif()
execute_process(COMMAND ${command} RESULT_VARIABLE status OUTPUT_VARIABLE out
                ERROR_VARIABLE err)
message("${out}${err}")
if(NOT status EQUAL EXPECTED)
  message(FATAL_ERROR "exit status ${status}, expected ${EXPECTED}: ${command}")
endif()
if(EXPECT_SAME)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${COPY_FROM}" "${COPY_TO}"
                  RESULT_VARIABLE differs)
  if(differs)
    message(FATAL_ERROR "check failed: ${COPY_TO} was changed")
  endif()
endif()
if(DEFINED EXPECT_GROWTH)
  file(SIZE "${COPY_FROM}" before)
  file(SIZE "${COPY_TO}" after)
  math(EXPR growth "${after} - ${before}")
  if(NOT growth EQUAL EXPECT_GROWTH)
    message(FATAL_ERROR "check failed: ${COPY_TO} grew by ${growth}, expected ${EXPECT_GROWTH}")
  endif()
endif()
if(DEFINED NO_FILES)
  file(GLOB leftovers LIST_DIRECTORIES false "${NO_FILES}")
  if(leftovers)
    message(FATAL_ERROR "check failed: left over: ${leftovers}")
  endif()
endif()
