# The destination and program-folder pages refusing folders, in process,
# with the system's message box answered from another thread.
if(NOT WIN32 OR MORVANE_FUZZ)
    return()
endif()
morvane_add_win_test(app_safety_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/app_safety_test.cpp
    LIBS morvane_app)
set_target_properties(app_safety_test PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/app-safety)
# Deletes the installation record.
set_tests_properties(app_safety_test PROPERTIES RESOURCE_LOCK morvane_machine)
