# Runs the probe that throws without a catch: it must end as std::terminate
# ends a program (abort: exit code 3; on stderr the runtime's message with
# the exception's type and text).
#   cmake -D RUN=<wine-run.sh> -D PROBE=<runtime_probe.exe> -P runtime_check.cmake
execute_process(COMMAND ${RUN} ${PROBE} RESULT_VARIABLE Code ERROR_VARIABLE Err OUTPUT_QUIET
                TIMEOUT 120)
set(Said "terminate called after throwing an instance of '[^']*TProbeError'\n"
         "  what\\(\\):  the probe's own text\n")
string(CONCAT Said ${Said})
if(NOT Code EQUAL 3 OR NOT Err MATCHES "${Said}")
    message(FATAL_ERROR "an uncaught exception ended the program with code ${Code}:\n${Err}")
endif()
