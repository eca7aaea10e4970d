morvane_add_win_test(ui_wizard_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/ui_wizard_test.cpp
                     LIBS morvane_ui)
