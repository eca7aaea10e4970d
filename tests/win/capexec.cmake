# The child program the captured-execution tests run; it lands beside the
# test, where the test looks for it.
if(WIN32 AND NOT MORVANE_FUZZ)
    add_executable(capexec_child ${CMAKE_CURRENT_LIST_DIR}/capexec_child.cpp)
    morvane_add_win_test(capexec_test
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/capexec_test.cpp
        LIBS morvane_engine)
    add_dependencies(capexec_test capexec_child)
    # Each program it runs is noted in setup's state in the machine's
    # registry, which the engine's tests clear.
    set_tests_properties(capexec_test PROPERTIES RESOURCE_LOCK morvane_machine)
endif()
