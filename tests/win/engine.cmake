# The engine under Wine. Its test programs live in a folder of their own
# with unrar.exe and data.arc beside them, because the engine looks for
# those beside the running executable, exactly as the installer does.
if(NOT WIN32 OR MORVANE_FUZZ)
    return()
endif()

set(ENGINE_TEST_DIR ${CMAKE_BINARY_DIR}/tests/engine)

# Started by the tests through the shell; writes its command line.
add_executable(engine_child ${CMAKE_CURRENT_LIST_DIR}/engine_child.cpp)

morvane_add_win_test(engine_log_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/engine_log_test.cpp
    LIBS morvane_engine)
morvane_add_win_test(engine_shell_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/engine_shell_test.cpp
    LIBS morvane_engine)
add_dependencies(engine_shell_test engine_child)

set_target_properties(engine_child engine_log_test engine_shell_test
    PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${ENGINE_TEST_DIR})
