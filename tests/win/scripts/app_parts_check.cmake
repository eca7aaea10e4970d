# Fails when a program's link map (the setup program's, unrar's) shows one of
# the heavy library parts, naming it and what pulled it in.
#   cmake -D MAP=<MorvaneSetup.map | unrar.map> [-D EXTRA=<regex;...>] -P app_parts_check.cmake
# EXTRA: further parts that program must not link.
if(NOT EXISTS "${MAP}")
    message(FATAL_ERROR "no link map at ${MAP}")
endif()
file(READ "${MAP}" Map)
string(FIND "${Map}" "Archive member included" Start)
string(FIND "${Map}" "Discarded input sections" End)
if(Start EQUAL -1 OR End EQUAL -1)
    message(FATAL_ERROR "${MAP} does not look like a link map")
endif()
math(EXPR Length "${End} - ${Start}")
string(SUBSTRING "${Map}" ${Start} ${Length} Members)

# The second string implementation and what drags it in (the standard error
# classes and the library's throw helpers), MinGW's C99 printf and the
# threads library (whose members carry a prefix of their archive's), and
# zlib's checksums with their tables (unrar brings its own), and the start-up
# code's patcher, crash filter, math-error printer and thread-data
# destructor list (src/runtime).
set(Heavy "\\(cow-stdexcept\\.o\\)" "\\(cow-string-inst\\.o\\)" "\\(string-inst\\.o\\)"
          "\\(functexcept\\.o\\)" "\\(random\\.o\\)" "-mingw_pformat\\.o\\)"
          "-mingw_vsnprintf\\.o\\)" "\\(cp-demangle\\.o\\)" "\\(libwinpthread_la-[a-z_]+\\.o\\)"
          "libz\\.a\\(crc32\\.o\\)" "libz\\.a\\(adler32\\.o\\)" "-pseudo-reloc\\.o\\)"
          "-crt_handler\\.o\\)" "-merr\\.o\\)" "-tlsthrd\\.o\\)")
list(APPEND Heavy ${EXTRA})
set(Found "")
foreach(Part ${Heavy})
    string(REGEX MATCH "[^\n]*${Part}[^\n]*(\n[ \t]+[^\n]*)?" Hit "${Members}")
    if(Hit)
        string(REGEX REPLACE "[ \t\n]+" " " Hit "${Hit}")
        string(APPEND Found "\n  ${Hit}")
    endif()
endforeach()
if(Found)
    get_filename_component(Program "${MAP}" NAME_WE)
    message(FATAL_ERROR "${Program}.exe links parts it was trimmed of "
                        "(member, then what pulled it in):${Found}")
endif()
message(STATUS "none of the trimmed parts is linked")
