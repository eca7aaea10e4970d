# The setup program and unrar.exe are built for size: library parts that once
# made up a third of the one and half of the other must not come back unnoticed (a single snprintf or
# std::runtime_error brings them). The link map names every archive member
# the linker took.
if(NOT WIN32 OR MORVANE_FUZZ OR NOT MORVANE_SETUP_MAP)
    return()
endif()
add_test(NAME app_parts
         COMMAND ${CMAKE_COMMAND} -D MAP=${MORVANE_SETUP_MAP}
                 -P ${CMAKE_CURRENT_LIST_DIR}/scripts/app_parts_check.cmake)
if(MORVANE_UNRAR_MAP)
    # unrar.exe has no exceptions: not their unwinder, nor their runtime.
    add_test(NAME unrar_parts
             COMMAND ${CMAKE_COMMAND} -D MAP=${MORVANE_UNRAR_MAP}
                     "-D EXTRA=\\(unwind-[a-z0-9-]+\\.o\\);\\(eh_[a-z_]+\\.o\\)"
                     -P ${CMAKE_CURRENT_LIST_DIR}/scripts/app_parts_check.cmake)
endif()
