# The linker's own layout with fewer sections. Each section of a Windows
# program takes whole 512-byte blocks of the file: the C runtime's tables of
# initialisers (.CRT, 96 bytes) and the thread data template (.tls, 16
# bytes) go into .data, which is as writable as they were, and the unwind
# data (.xdata, 64-bit programs) into .rdata, which is as read-only. The system finds all
# three through the program's header (the exception table points at the
# unwind data by address, the thread-storage entry at _tls_used), not by
# section name. Made from what this linker prints as its default script, so
# it follows the installed binutils; when that script is not laid out as
# expected, nothing is changed and the programs keep the default layout.
#
#   morvane_compact_sections(<out-variable>): sets it to the linker options
#   that use the compact script, or to nothing.
function(morvane_compact_sections out)
    set(${out} "" PARENT_SCOPE)
    if(NOT CMAKE_LINKER)
        return()
    endif()
    execute_process(COMMAND ${CMAKE_LINKER} --verbose OUTPUT_VARIABLE Verbose
                    RESULT_VARIABLE Code ERROR_QUIET)
    set(Rule "==================================================")
    string(FIND "${Verbose}" "${Rule}\n" First)
    string(FIND "${Verbose}" "\n${Rule}" Last REVERSE)
    if(NOT Code EQUAL 0 OR First EQUAL -1 OR Last LESS_EQUAL First)
        message(STATUS "Compact sections: the linker printed no default script")
        return()
    endif()
    string(LENGTH "${Rule}\n" Skip)
    math(EXPR Start "${First} + ${Skip}")
    math(EXPR Length "${Last} - ${Start} + 1")
    string(SUBSTRING "${Verbose}" ${Start} ${Length} Script)

    # Takes the output section Name out of Script; its statements into Var.
    # Empty when there is no such section (a 32-bit program has no .xdata:
    # its unwind data is DWARF's, in .eh_frame, which stays where it is).
    macro(_morvane_take Name Var)
        set(${Var} "")
        string(FIND "${Script}" "  ${Name} BLOCK(__section_alignment__) :\n  {\n" At)
        if(NOT At EQUAL -1)
            string(SUBSTRING "${Script}" ${At} -1 Rest)
            string(FIND "${Rest}" "\n  }\n" End)
            string(FIND "${Rest}" "{\n" Open)
            math(EXPR BodyStart "${Open} + 2")
            math(EXPR BodyLength "${End} + 1 - ${BodyStart}")
            string(SUBSTRING "${Rest}" ${BodyStart} ${BodyLength} ${Var})
            math(EXPR After "${At} + ${End} + 5")
            string(SUBSTRING "${Script}" 0 ${At} Before)
            string(SUBSTRING "${Script}" ${After} -1 Behind)
            set(Script "${Before}${Behind}")
        endif()
    endmacro()
    _morvane_take(.CRT Crt)
    _morvane_take(.tls Tls)
    _morvane_take(.xdata Unwind)
    if(NOT Crt OR NOT Tls)
        message(STATUS "Compact sections: no .CRT or .tls in the default script")
        return()
    endif()

    # The dynamic thread-data initialisers (.CRT$XD*) are not named in the
    # default script, which leaves them a .CRT section of their own.
    set(Moved "    . = ALIGN(8);\n${Crt}    KEEP (*(SORT(.CRT$XD*)))\n    . = ALIGN(8);\n${Tls}")
    set(DataEnd "    *(.data_cygwin_nocopy)\n")
    set(RdataEnd "    __rt_psrelocs_end = .;\n")
    string(FIND "${Script}" "${DataEnd}" DataAt)
    string(FIND "${Script}" "${RdataEnd}" RdataAt)
    if(DataAt EQUAL -1 OR RdataAt EQUAL -1)
        message(STATUS "Compact sections: .data or .rdata not laid out as expected")
        return()
    endif()
    string(REPLACE "${DataEnd}" "${Moved}${DataEnd}" Script "${Script}")
    if(Unwind)
        string(REPLACE "${RdataEnd}" "${RdataEnd}    . = ALIGN(4);\n${Unwind}" Script "${Script}")
    endif()

    set(File ${CMAKE_BINARY_DIR}/compact-sections.x)
    file(WRITE ${File}.new "${Script}")
    file(COPY_FILE ${File}.new ${File} ONLY_IF_DIFFERENT)
    file(REMOVE ${File}.new)
    set(${out} "-Wl,-T,${File}" PARENT_SCOPE)
endfunction()
