morvane_add_unit_test(ui_centring_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/ui_centring_test.cpp)
