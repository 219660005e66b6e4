# Runs the initialisation check under Wine and fails unless it exits 0 having printed the renderer
# line and the five GL version lines, each "initialized", in order.
# Usage: cmake -DPROGRAM=<init_check.exe> -DWINE=<wine> -P init_check.cmake

execute_process(COMMAND "${WINE}" "${PROGRAM}" OUTPUT_VARIABLE out ERROR_VARIABLE err
  RESULT_VARIABLE rc TIMEOUT 120)
string(REPLACE "\r\n" "\n" out "${out}")
message(STATUS "output:\n${out}")

if(NOT rc EQUAL 0)
  message(FATAL_ERROR "exit status ${rc}\n${err}")
endif()
if(NOT out MATCHES "^PFD [1-9][0-9]*, [^\n]+ OpenGL on [^\n]+ ver\\. [^\n]+\\.\n")
  message(FATAL_ERROR "no renderer line first")
endif()
set(versions "")
string(REGEX MATCHALL "OpenGL [0-9]\\.[0-9] [a-z ]+\\.\n" lines "${out}")
foreach(line IN LISTS lines)
  string(APPEND versions "${line}")
endforeach()
set(expected "OpenGL 1.2 initialized.\nOpenGL 1.3 initialized.\nOpenGL 1.4 initialized.\n")
string(APPEND expected "OpenGL 1.5 initialized.\nOpenGL 2.0 initialized.\n")
if(NOT versions STREQUAL expected)
  message(FATAL_ERROR "version lines:\n${versions}")
endif()
