# Runs a program's native build and its Windows build (under Wine) and fails unless both print
# the same lines. Windows text mode ends lines with CR LF; only the line ends may differ.
# Usage: cmake -DNATIVE=<program> -DWINDOWS=<program.exe> -DWINE=<wine> -P same_output.cmake
# Optional: -DEXPECTED_STATUS=<n> (default 0) for both; -DLINES=<n> compares only the first n lines;
# -DARGS="<arguments>" for both programs, separated by spaces.

if(NOT EXISTS "${NATIVE}")
  message(FATAL_ERROR "native program not built: ${NATIVE} (build the release preset first)")
endif()

separate_arguments(args UNIX_COMMAND "${ARGS}")
execute_process(COMMAND "${NATIVE}" ${args} OUTPUT_VARIABLE native_out RESULT_VARIABLE native_rc
  TIMEOUT 120)
execute_process(COMMAND "${WINE}" "${WINDOWS}" ${args} OUTPUT_VARIABLE windows_out
  RESULT_VARIABLE windows_rc TIMEOUT 120)
string(REPLACE "\r\n" "\n" windows_out "${windows_out}")

if(NOT DEFINED EXPECTED_STATUS)
  set(EXPECTED_STATUS 0)
endif()
if(DEFINED LINES)
  foreach(side native windows)
    string(REGEX MATCHALL "[^\n]*\n" lines "${${side}_out}")
    list(SUBLIST lines 0 ${LINES} lines)
    string(JOIN "" ${side}_out ${lines})
  endforeach()
endif()

if(NOT native_rc STREQUAL EXPECTED_STATUS OR NOT windows_rc STREQUAL EXPECTED_STATUS)
  message(FATAL_ERROR "exit status: native ${native_rc}, Windows ${windows_rc}")
endif()
if(native_out STREQUAL "")
  message(FATAL_ERROR "the native program printed nothing")
endif()
if(NOT native_out STREQUAL windows_out)
  message(FATAL_ERROR "outputs differ\nnative:\n${native_out}Windows:\n${windows_out}")
endif()
