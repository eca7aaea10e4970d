# A start whose window cannot be built: the setup program with a failure
# injected while its pages are built, watched from another process.
if(NOT WIN32 OR MORVANE_FUZZ)
    return()
endif()
add_executable(app_failstart_probe WIN32 ${CMAKE_CURRENT_LIST_DIR}/app_failstart_probe.cpp)
target_link_libraries(app_failstart_probe PRIVATE morvane_app)
morvane_add_win_test(app_failstart_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/app_failstart_test.cpp
                     LIBS morvane_product)
add_dependencies(app_failstart_test app_failstart_probe)
# Its windows are on the shared display.
# The probe takes the setup lock like every setup program: not beside
# another test that runs one.
set_tests_properties(app_failstart_test PROPERTIES RESOURCE_LOCK "screen;morvane_machine")
