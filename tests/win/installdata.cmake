morvane_add_win_test(installdata_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/installdata_test.cpp
                     LIBS morvane_data)
if(TEST installdata_test)
    # The record key and the Programs folder belong to the whole prefix.
    set_tests_properties(installdata_test PROPERTIES RESOURCE_LOCK morvane_machine)
endif()
