# The programs' own start-up pieces (src/runtime): an exception that nothing
# catches still ends the program through std::terminate, with exit code 3
# and the runtime's message, instead of returning as if it had succeeded;
# and the standard library's locks work over the threads library's
# stand-ins (a hang ends the test at its time limit).
if(NOT WIN32 OR MORVANE_FUZZ)
    return()
endif()
add_executable(runtime_probe ${CMAKE_CURRENT_LIST_DIR}/runtime_probe.cpp)
target_link_libraries(runtime_probe PRIVATE morvane_runtime_trim morvane_runtime_exceptions)
# Compiled as the programs are: the 32-bit linker refuses the exception's
# type data from a plain part next to the runtime part's.
target_compile_options(runtime_probe PRIVATE -Oz -flto -fno-rtti)
target_link_options(runtime_probe PRIVATE -flto)
add_test(NAME runtime_uncaught
         COMMAND ${CMAKE_COMMAND} -D RUN=${MORVANE_WINE_RUN} -D PROBE=$<TARGET_FILE:runtime_probe>
                 -P ${CMAKE_CURRENT_LIST_DIR}/scripts/runtime_check.cmake)
morvane_wine_test_properties(runtime_uncaught)
add_test(NAME runtime_locks COMMAND ${MORVANE_WINE_RUN} $<TARGET_FILE:runtime_probe> locks)
morvane_wine_test_properties(runtime_locks)
set_tests_properties(runtime_locks PROPERTIES TIMEOUT 120)
