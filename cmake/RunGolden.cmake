# Plays one session script through tamlo-script and compares the report with the expected
# one. On a difference the actual report is kept beside the build for a look with diff.
# Variables: RUNNER, SCRIPT, EXPECTED, ACTUAL.
execute_process(
  COMMAND ${RUNNER}
  INPUT_FILE ${SCRIPT}
  OUTPUT_VARIABLE actual
  RESULT_VARIABLE status)
file(WRITE ${ACTUAL} "${actual}")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "tamlo-script exited with ${status}")
endif()
file(READ ${EXPECTED} expected)
if(NOT actual STREQUAL expected)
  message(FATAL_ERROR "report differs from ${EXPECTED}\n  diff ${EXPECTED} ${ACTUAL}")
endif()
