# Runs a command and fails unless it exits with EXPECTED. The command's stdout and then its
# stderr are passed through so that a test can also match them.
# Usage: cmake -DEXPECTED=<status> -P expect_exit.cmake <program> [args...]
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
execute_process(COMMAND ${command} RESULT_VARIABLE status OUTPUT_VARIABLE out
                ERROR_VARIABLE err)
message("${out}${err}")
if(NOT status EQUAL EXPECTED)
  message(FATAL_ERROR "exit status ${status}, expected ${EXPECTED}: ${command}")
endif()
