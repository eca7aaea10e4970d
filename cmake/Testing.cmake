# Helpers that register tests the same way in every build tree.
#
#   windows: each test executable is one CTest test run under Wine (a Wine
#            start costs about 1.5 s, so never one CTest test per case).
#   native:  pure units only, with AddressSanitizer and UBSan; cases are
#            discovered one by one.
#   fuzz:    libFuzzer targets, each run for MORVANE_FUZZ_SECONDS.

include(GoogleTest)

if(WIN32)
    # Each Windows tree runs its programs with the Wine loader of its own
    # architecture: the 64-bit tree must work on a machine whose kernel
    # refuses to execute 32-bit programs (and so the 32-bit loader).
    if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
        set(MORVANE_ARCH x64)
        set(MORVANE_WINE_LOADER /usr/lib/wine/wine64)
    else()
        set(MORVANE_ARCH x86)
        set(MORVANE_WINE_LOADER /usr/lib/wine/wine)
    endif()
    set(MORVANE_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix")
    configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh
                   FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                    WORLD_READ WORLD_EXECUTE @ONLY)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/wineprefix-init.sh.in
                   ${CMAKE_BINARY_DIR}/wineprefix-init.sh
                   FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                    WORLD_READ WORLD_EXECUTE @ONLY)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh CACHE FILEPATH "" FORCE)
    set(MORVANE_WINE_RUN ${CMAKE_BINARY_DIR}/wine-run.sh)
    add_test(NAME wineprefix COMMAND ${CMAKE_BINARY_DIR}/wineprefix-init.sh)
    set_tests_properties(wineprefix PROPERTIES FIXTURES_SETUP wineprefix TIMEOUT 600)
endif()

# Properties every test that runs under Wine needs.
function(morvane_wine_test_properties test)
    set_tests_properties(${test} PROPERTIES FIXTURES_REQUIRED wineprefix TIMEOUT 300)
endfunction()

function(_morvane_test_exe name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} morvane_test_support GTest::gtest_main)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
endfunction()

# A test of units without <windows.h>: natively with sanitizers and under Wine.
function(morvane_add_unit_test name)
    if(MORVANE_FUZZ)
        return()
    endif()
    _morvane_test_exe(${name} ${ARGN})
    if(WIN32)
        add_test(NAME ${name} COMMAND ${name})
        morvane_wine_test_properties(${name})
    else()
        gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
    endif()
endfunction()

# A test that needs Windows: built and run only in the windows tree.
function(morvane_add_win_test name)
    if(NOT WIN32 OR MORVANE_FUZZ)
        return()
    endif()
    _morvane_test_exe(${name} ${ARGN})
    add_test(NAME ${name} COMMAND ${name})
    morvane_wine_test_properties(${name})
endfunction()

# A libFuzzer target over a parser; runs for a bounded time under ctest,
# starting from the seeds in tests/fuzz/seeds/<name>/ when there are any.
function(morvane_add_fuzz_target name)
    if(NOT MORVANE_FUZZ)
        return()
    endif()
    cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    set(corpus ${CMAKE_CURRENT_BINARY_DIR}/${name}-corpus)
    file(MAKE_DIRECTORY ${corpus})
    set(seeds ${PROJECT_SOURCE_DIR}/tests/fuzz/seeds/${name})
    if(EXISTS ${seeds})
        add_test(NAME ${name} COMMAND ${name} -max_total_time=${MORVANE_FUZZ_SECONDS}
                 -rss_limit_mb=2048 -print_final_stats=1 ${corpus} ${seeds})
    else()
        add_test(NAME ${name} COMMAND ${name} -max_total_time=${MORVANE_FUZZ_SECONDS}
                 -rss_limit_mb=2048 -print_final_stats=1 ${corpus})
    endif()
    set_tests_properties(${name} PROPERTIES TIMEOUT 300)
endfunction()
