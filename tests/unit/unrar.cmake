# The extraction program: its reader and rules in process, and the program
# itself run as a child (natively, and as unrar.exe under Wine).
if(NOT MORVANE_FUZZ)
    morvane_add_unit_test(unrar_core_test
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/unrar_core_test.cpp
        LIBS unrar_core)

    morvane_add_unit_test(unrar_program_test
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/unrar_program_test.cpp
        LIBS unrar_core)
    add_dependencies(unrar_program_test unrar)
    target_compile_definitions(unrar_program_test PRIVATE
        "UNRAR_PROGRAM=\"$<TARGET_FILE:unrar>\"")
endif()
