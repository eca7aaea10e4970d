morvane_add_fuzz_target(cmdline_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/cmdline_fuzz.cpp
                        LIBS morvane_data_pure)
