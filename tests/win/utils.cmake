if(WIN32 AND NOT MORVANE_FUZZ)
    add_executable(utils_test ${CMAKE_CURRENT_LIST_DIR}/utils_test.cpp)
    target_link_libraries(utils_test PRIVATE morvane_data morvane_test_support GTest::gtest_main)
    target_include_directories(utils_test PRIVATE ${PROJECT_SOURCE_DIR}/src
                                                  ${PROJECT_SOURCE_DIR}/tests)
    # The wrapper makes Unix links and a private trash for the test.
    add_test(NAME utils_test COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/utils_links.sh
                                     ${MORVANE_WINE_RUN} $<TARGET_FILE:utils_test>)
    morvane_wine_test_properties(utils_test)
endif()
