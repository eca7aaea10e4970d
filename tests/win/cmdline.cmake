if(WIN32 AND NOT MORVANE_FUZZ)
    # A GUI program like the installer, so it starts without a console.
    add_executable(cmdline_probe WIN32 ${CMAKE_CURRENT_LIST_DIR}/cmdline_probe.cpp)
    target_link_libraries(cmdline_probe PRIVATE morvane_data)
endif()
morvane_add_win_test(cmdline_help_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/cmdline_help_test.cpp)
if(TEST cmdline_help_test)
    add_dependencies(cmdline_help_test cmdline_probe)
endif()
