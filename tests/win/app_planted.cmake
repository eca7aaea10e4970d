# A planted library beside the setup program never runs.
if(NOT WIN32 OR MORVANE_FUZZ)
    return()
endif()
# Leaves a marker file beside itself when loaded.
add_library(planted_dll SHARED ${CMAKE_CURRENT_LIST_DIR}/planted_dll.cpp)
set_target_properties(planted_dll PROPERTIES PREFIX "")

# Functions bound on first use come from the system folder only: one test
# binds a function of planted_dll, which lies beside the test program.
morvane_add_win_test(app_late_binding_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/late_binding_test.cpp
    LIBS morvane_app)
add_dependencies(app_late_binding_test planted_dll)

add_executable(planted_test ${CMAKE_CURRENT_LIST_DIR}/planted_test.cpp)
target_link_libraries(planted_test PRIVATE morvane_product morvane_test_support GTest::gtest advapi32)
target_include_directories(planted_test PRIVATE ${PROJECT_SOURCE_DIR}/src)
add_dependencies(planted_test planted_dll morvane_dist)
set(planted_work ${CMAKE_BINARY_DIR}/planted-work)
file(MAKE_DIRECTORY ${planted_work})
add_test(NAME planted_test
         COMMAND planted_test ${CMAKE_BINARY_DIR}/dist $<TARGET_FILE:planted_dll> ${planted_work})
morvane_wine_test_properties(planted_test)
# Starts the setup program, as the end-to-end flows do.
set_tests_properties(planted_test PROPERTIES RESOURCE_LOCK morvane_machine)
