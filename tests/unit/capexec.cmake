morvane_add_unit_test(capexec_linesplitter_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/capexec_linesplitter_test.cpp
    LIBS morvane_engine_pure)
