# The window at 96 and at 144 DPI: scaled client area, no clipped text, and a
# screenshot of each page kept as an artefact. The DPI is a setting of the
# whole prefix, so these runs have the prefix to themselves.
if(NOT WIN32 OR MORVANE_FUZZ)
    return()
endif()
add_executable(dpi_probe ${CMAKE_CURRENT_LIST_DIR}/dpi_probe.cpp)
target_link_libraries(dpi_probe PRIVATE morvane_product morvane_test_support)
add_dependencies(dpi_probe morvane_dist)
foreach(setting "96;540;432" "144;810;648")
    list(GET setting 0 dpi)
    list(GET setting 1 width)
    list(GET setting 2 height)
    add_test(NAME app_dpi_${dpi}
             COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/scripts/app_dpi.sh ${MORVANE_WINE_RUN}
                     $<TARGET_FILE:dpi_probe> ${CMAKE_BINARY_DIR}/dist/MorvaneSetup.exe ${dpi}
                     ${width} ${height} ${CMAKE_BINARY_DIR}/artifacts/dpi${dpi})
    morvane_wine_test_properties(app_dpi_${dpi})
    set_tests_properties(app_dpi_${dpi} PROPERTIES RUN_SERIAL TRUE)
endforeach()
