morvane_add_unit_test(version_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/version_test.cpp
                      LIBS morvane_data_pure)
