# The progress page during a real installation: unrar.exe and data.arc lie
# beside the test, where the engine looks for them. A second copy of the test
# runs against a slow stand-in for unrar.exe, long enough for the window to
# have to handle its messages while it waits.
if(NOT WIN32 OR MORVANE_FUZZ)
    return()
endif()
foreach(variant progress responsive)
    set(dir ${CMAKE_BINARY_DIR}/tests/app-${variant})
    morvane_add_win_test(app_${variant}_test
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/app_progress_test.cpp
        LIBS morvane_app)
    set_target_properties(app_${variant}_test PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${dir})
    add_dependencies(app_${variant}_test morvane_dist)
    # Installs for real: the record, the OCX registration and the trash.
    set_tests_properties(app_${variant}_test PROPERTIES RESOURCE_LOCK morvane_machine)
endforeach()
add_custom_command(TARGET app_progress_test POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different
            ${CMAKE_BINARY_DIR}/dist/unrar.exe ${CMAKE_BINARY_DIR}/dist/data.arc
            ${CMAKE_BINARY_DIR}/tests/app-progress/
    VERBATIM)
add_executable(slow_unrar ${CMAKE_CURRENT_LIST_DIR}/slow_unrar.cpp)
target_compile_definitions(app_responsive_test PRIVATE SLOW_EXTRACTION)
add_dependencies(app_responsive_test slow_unrar)
add_custom_command(TARGET app_responsive_test POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:slow_unrar>
            ${CMAKE_BINARY_DIR}/tests/app-responsive/unrar.exe
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_BINARY_DIR}/dist/data.arc
            ${CMAKE_BINARY_DIR}/tests/app-responsive/
    VERBATIM)
