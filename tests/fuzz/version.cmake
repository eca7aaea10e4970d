morvane_add_fuzz_target(version_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/version_fuzz.cpp
                        LIBS morvane_data_pure)
