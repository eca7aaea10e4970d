# The engine under Wine. Its test programs live in a folder of their own
# with unrar.exe and data.arc beside them, because the engine looks for
# those beside the running executable, exactly as the installer does.
if(NOT WIN32 OR MORVANE_FUZZ)
    return()
endif()

set(ENGINE_TEST_DIR ${CMAKE_BINARY_DIR}/tests/engine)
file(MAKE_DIRECTORY ${ENGINE_TEST_DIR}/xdg-data)

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
# The log tests read the machine's installation record for the engine's data;
# the shell tests note the programs they run in setup's state there.
set_tests_properties(engine_log_test engine_shell_test PROPERTIES RESOURCE_LOCK morvane_machine)

# Runs one procedure in a process of its own (per-program Windows version,
# installer folders without or with a damaged extraction program).
add_executable(engine_probe ${CMAKE_CURRENT_LIST_DIR}/engine_probe.cpp)
target_link_libraries(engine_probe PRIVATE morvane_engine)
target_include_directories(engine_probe PRIVATE ${PROJECT_SOURCE_DIR}/src)

morvane_add_win_test(engine_install_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/engine_install_test.cpp
    LIBS morvane_engine morvane_product_ids)
add_dependencies(engine_install_test engine_probe engine_child morvane_dist)
# unrar.exe and data.arc of the distribution folder go beside the test.
add_custom_command(TARGET engine_install_test POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different
            ${CMAKE_BINARY_DIR}/dist/unrar.exe ${CMAKE_BINARY_DIR}/dist/data.arc ${ENGINE_TEST_DIR}/
    VERBATIM)
set_target_properties(engine_probe engine_install_test
    PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${ENGINE_TEST_DIR})
# Registry record, the control's registration, Start-menu folders: one test
# at a time. Its trash is a private one.
set_tests_properties(engine_install_test PROPERTIES
    RESOURCE_LOCK morvane_machine
    ENVIRONMENT "XDG_DATA_HOME=${ENGINE_TEST_DIR}/xdg-data")

# A product whose control is no library, which regsvr32 refuses.
set(notalib_stage ${CMAKE_CURRENT_BINARY_DIR}/notalibrary)
file(WRITE ${notalib_stage}/MorvaneXControls.ocx "not a library\r\n")
add_custom_command(
    OUTPUT ${ENGINE_TEST_DIR}/notalibrary.arc
    COMMAND ${CMAKE_COMMAND} -E chdir ${notalib_stage} ${CMAKE_COMMAND} -E tar czf
            ${ENGINE_TEST_DIR}/notalibrary.arc --format=gnutar -- MorvaneXControls.ocx
    VERBATIM)
add_custom_target(engine_notalibrary_arc DEPENDS ${ENGINE_TEST_DIR}/notalibrary.arc)
add_dependencies(engine_install_test engine_notalibrary_arc)
