# The extraction program: its reader and rules in process, and the program
# itself run as a child (natively, and as unrar.exe under Wine).
if(NOT MORVANE_FUZZ)
    morvane_add_unit_test(unrar_core_test
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/unrar_core_test.cpp
        LIBS unrar_core)

    # Archives from GNU tar and Python's tarfile, with GNU tar's extraction
    # of each to compare against, made at build time on the build machine.
    find_program(MORVANE_GNU_TAR NAMES tar REQUIRED)
    set(unrar_writers ${CMAKE_CURRENT_BINARY_DIR}/unrar_writers)
    add_custom_command(OUTPUT ${unrar_writers}/cases.txt
        COMMAND ${MORVANE_PYTHON3} ${CMAKE_CURRENT_LIST_DIR}/unrar_writers.py
                ${MORVANE_GNU_TAR} ${unrar_writers}
        DEPENDS ${CMAKE_CURRENT_LIST_DIR}/unrar_writers.py
        COMMENT "Writing test archives with GNU tar and Python's tarfile")
    add_custom_target(unrar_writers DEPENDS ${unrar_writers}/cases.txt)

    morvane_add_unit_test(unrar_program_test
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/unrar_program_test.cpp
        LIBS unrar_core)
    add_dependencies(unrar_program_test unrar unrar_writers)
    target_compile_definitions(unrar_program_test PRIVATE
        "UNRAR_PROGRAM=\"$<TARGET_FILE:unrar>\""
        "UNRAR_WRITERS=\"${unrar_writers}\"")
endif()
