# The procedures confined to the product's own files, under Wine. The test
# program lives with the engine's tests, beside unrar.exe and data.arc, and
# starts the engine probe from there.
if(NOT WIN32 OR MORVANE_FUZZ)
    return()
endif()

morvane_add_win_test(engine_safety_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/engine_safety_test.cpp
    LIBS morvane_engine morvane_product_ids)
add_dependencies(engine_safety_test engine_probe morvane_dist)
add_custom_command(TARGET engine_safety_test POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different
            ${CMAKE_BINARY_DIR}/dist/unrar.exe ${CMAKE_BINARY_DIR}/dist/data.arc
            ${CMAKE_BINARY_DIR}/tests/engine/
    VERBATIM)
set_target_properties(engine_safety_test
    PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/engine)
# Registry record, the control's registration, Start-menu folders, the
# Windows and Program Files folders of the prefix: one test at a time.
set_tests_properties(engine_safety_test PROPERTIES
    RESOURCE_LOCK morvane_machine
    ENVIRONMENT "XDG_DATA_HOME=${CMAKE_BINARY_DIR}/tests/engine/xdg-data")
