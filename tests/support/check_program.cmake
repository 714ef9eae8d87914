# Runs PROGRAM with ARGS and checks its exit status, stdout and stderr.
string(REPLACE "|" ";" args "${ARGS}")
string(REPLACE "|" ";" emulator "${EMULATOR}")
# With STDOUT_FILE (such as /dev/full) standard output goes there instead.
if(STDOUT_FILE)
  execute_process(COMMAND ${emulator} ${PROGRAM} ${args}
    RESULT_VARIABLE rc OUTPUT_FILE ${STDOUT_FILE} ERROR_VARIABLE err)
  set(out "")
else()
  execute_process(COMMAND ${emulator} ${PROGRAM} ${args}
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
endif()
# Under Wine without a display the virtual X server's shutdown is reported on stderr.
string(REGEX REPLACE "X connection to [^\n]* broken [^\n]*\n?" "" err "${err}")
if(NOT rc STREQUAL EXPECT_RC)
  message(FATAL_ERROR "exit status ${rc}, expected ${EXPECT_RC}\nstdout:\n${out}\nstderr:\n${err}")
endif()
if(NOT out MATCHES "${EXPECT_OUT}")
  message(FATAL_ERROR "stdout does not match '${EXPECT_OUT}':\n${out}")
endif()
if(NOT err MATCHES "${EXPECT_ERR}")
  message(FATAL_ERROR "stderr does not match '${EXPECT_ERR}':\n${err}")
endif()
