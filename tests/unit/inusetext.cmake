morvane_add_unit_test(inusetext_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/inusetext_test.cpp
                      LIBS morvane_data_pure)
