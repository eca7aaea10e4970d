morvane_add_win_test(ui_folder_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/ui_folder_test.cpp
                     LIBS morvane_ui)
