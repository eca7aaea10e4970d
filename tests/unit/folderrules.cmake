morvane_add_unit_test(folderrules_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/folderrules_test.cpp
                      LIBS morvane_data_pure)
