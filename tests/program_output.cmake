# Runs PROGRAM twice; both runs must print the contents of EXPECTED_FILE first and exit with
# EXPECTED_STATUS (default 0). What follows the expected text is not compared: without a display
# the viewer's window cannot open, and the toolkit names the step that failed.
if(NOT DEFINED EXPECTED_STATUS)
  set(EXPECTED_STATUS 0)
endif()
file(READ ${EXPECTED_FILE} expected)
string(LENGTH "${expected}" expected_length)
foreach(run 1 2)
  execute_process(COMMAND ${PROGRAM} OUTPUT_VARIABLE out RESULT_VARIABLE rc TIMEOUT 120)
  if(NOT rc STREQUAL EXPECTED_STATUS)
    message(FATAL_ERROR "run ${run}: exit status ${rc}, expected ${EXPECTED_STATUS}")
  endif()
  string(SUBSTRING "${out}" 0 ${expected_length} head)
  if(NOT head STREQUAL expected)
    message(FATAL_ERROR "run ${run} printed:\n${out}")
  endif()
endforeach()
