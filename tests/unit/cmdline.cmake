morvane_add_unit_test(cmdline_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/cmdline_test.cpp
                      LIBS morvane_data_pure)
