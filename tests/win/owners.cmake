morvane_add_win_test(owners_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/owners_test.cpp)
