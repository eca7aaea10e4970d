morvane_add_unit_test(nameset_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/nameset_test.cpp)
