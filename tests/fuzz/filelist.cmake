morvane_add_fuzz_target(filelist_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/filelist_fuzz.cpp
                        LIBS morvane_data_pure)
