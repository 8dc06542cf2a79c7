# Runs the table-driven belt-block under the checker and passes only when
# memcheck reports its secret-indexed loads (exit code 3 and the report).
execute_process(COMMAND ${VALGRIND} ${PROGRAM} table
  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT result EQUAL 3)
  message(FATAL_ERROR "expected memcheck to report the table lookups (exit 3), got ${result}\n${err}")
endif()
if(NOT err MATCHES "Use of uninitialised value of size 8")
  message(FATAL_ERROR "memcheck failed, but not on a secret-indexed load:\n${err}")
endif()
message(STATUS "memcheck reported the table-driven belt-block, as it must")
