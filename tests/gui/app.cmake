# The main window in process. It runs in a folder of its own: the engine
# looks for unrar.exe beside the running program, and none must be found.
if(NOT WIN32 OR MORVANE_FUZZ)
    return()
endif()
morvane_add_win_test(app_window_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/app_test.cpp
    LIBS morvane_app)
set_target_properties(app_window_test PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/app-window)
# Writes and deletes the installation record.
set_tests_properties(app_window_test PROPERTIES RESOURCE_LOCK morvane_machine)
