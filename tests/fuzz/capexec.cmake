morvane_add_fuzz_target(capexec_linesplitter_fuzz
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/capexec_linesplitter_fuzz.cpp
    LIBS morvane_engine_pure)
