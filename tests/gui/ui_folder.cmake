morvane_add_win_test(ui_folder_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/ui_folder_test.cpp
                     LIBS morvane_ui)
if(TEST ui_folder_test)
    # Its windows stand on the display the end-to-end flows click on.
    set_tests_properties(ui_folder_test PROPERTIES RESOURCE_LOCK screen)
endif()
