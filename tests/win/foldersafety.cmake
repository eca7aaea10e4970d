# The folder rules on this system's folders, and the list of installed files
# on real files.
if(WIN32 AND NOT MORVANE_FUZZ)
    add_executable(foldersafety_test ${CMAKE_CURRENT_LIST_DIR}/foldersafety_test.cpp)
    target_link_libraries(foldersafety_test PRIVATE morvane_data morvane_test_support GTest::gtest_main)
    target_include_directories(foldersafety_test PRIVATE ${PROJECT_SOURCE_DIR}/src
                                                         ${PROJECT_SOURCE_DIR}/tests)
    # The wrapper makes a Unix link and a private trash for the test.
    add_test(NAME foldersafety_test COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/foldersafety_links.sh
                                            ${MORVANE_WINE_RUN} $<TARGET_FILE:foldersafety_test>)
    morvane_wine_test_properties(foldersafety_test)
endif()
