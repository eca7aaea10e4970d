# The distributable holds exactly the distribution folder's four files.
if(NOT WIN32 OR MORVANE_FUZZ)
    return()
endif()
add_test(NAME dist_zip
         COMMAND ${CMAKE_COMMAND} -D ZIP=${MORVANE_ZIP} -D DIST=${CMAKE_BINARY_DIR}/dist
                 -P ${CMAKE_CURRENT_LIST_DIR}/scripts/dist_zip_check.cmake)
