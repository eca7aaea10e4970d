# Runs the probe that throws without a catch: it must end as std::terminate
# ends a program (abort: exit code 3, the runtime's message on stderr).
#   cmake -D RUN=<wine-run.sh> -D PROBE=<runtime_probe.exe> -P runtime_check.cmake
execute_process(COMMAND ${RUN} ${PROBE} RESULT_VARIABLE Code ERROR_VARIABLE Err OUTPUT_QUIET
                TIMEOUT 120)
if(NOT Code EQUAL 3 OR NOT Err MATCHES "terminate called after throwing")
    message(FATAL_ERROR "an uncaught exception ended the program with code ${Code}:\n${Err}")
endif()
