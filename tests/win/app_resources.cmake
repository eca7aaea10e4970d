# The built setup program's manifest, version resource and icon.
if(NOT WIN32 OR MORVANE_FUZZ)
    return()
endif()
add_executable(app_resources_test ${CMAKE_CURRENT_LIST_DIR}/app_resources_test.cpp)
target_link_libraries(app_resources_test PRIVATE morvane_product morvane_test_support GTest::gtest
                      version)
add_dependencies(app_resources_test MorvaneSetup)
add_test(NAME app_resources_test
         COMMAND app_resources_test $<TARGET_FILE:MorvaneSetup> ${PROJECT_SOURCE_DIR}/product/version)
morvane_wine_test_properties(app_resources_test)
