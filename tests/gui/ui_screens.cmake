# Screenshots of the controls (kept in the build tree, never committed).
if(WIN32 AND NOT MORVANE_FUZZ)
    add_executable(ui_demo ${CMAKE_CURRENT_LIST_DIR}/ui_demo.cpp)
    target_link_libraries(ui_demo PRIVATE morvane_ui)
    add_test(NAME ui_screenshots
             COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/ui_screens.sh ${MORVANE_WINE_RUN}
                     $<TARGET_FILE:ui_demo> ${CMAKE_BINARY_DIR}/screenshots)
    morvane_wine_test_properties(ui_screenshots)
    # Nothing else on the screen while it is photographed.
    set_tests_properties(ui_screenshots PROPERTIES RUN_SERIAL TRUE)
endif()
