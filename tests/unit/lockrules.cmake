morvane_add_unit_test(lockrules_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/lockrules_test.cpp
                      LIBS morvane_data_pure)
