# The built installer driven from outside as a user would: e2e_driver starts
# MorvaneSetup.exe in a copy of the distribution folder, walks its pages on a
# virtual display and checks the machine afterwards. One ctest test per flow;
# screenshots of every page land in <build>/artifacts/e2e/<flow>/.
if(NOT WIN32 OR MORVANE_FUZZ)
    return()
endif()

# The driver knows the product from the same definition the setup program
# is built with; Definition names another one's source.
function(morvane_e2e_driver name)
    cmake_parse_arguments(D "" "" "DEFINITION" ${ARGN})
    add_executable(${name}
        ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/driver.cpp
        ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/FlowsWizard.cpp
        ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/FlowsUnattended.cpp
        ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/FlowsTrouble.cpp
        ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/Machine.cpp
        ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/UiDriver.cpp
        ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/Wizard.cpp
        ${D_DEFINITION})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    # The component's class id comes from the product's own header.
    target_link_libraries(${name} PRIVATE morvane_product morvane_product_ids morvane_test_support ole32 shell32 user32
                          gdi32 advapi32 uuid)
endfunction()
morvane_e2e_driver(e2e_driver)
add_dependencies(e2e_driver morvane_dist)
# The extraction program of a run that is cut off half-way: beside the driver.
add_executable(stall_unrar ${CMAKE_CURRENT_LIST_DIR}/stall_unrar.cpp)
add_dependencies(e2e_driver stall_unrar)

foreach(flow first update repair uninstall keep-foreign damaged cancel refusals help keys silent
             apps-uninstall held interrupted planted-handover)
    add_test(NAME e2e_${flow}
             COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/run-flow.sh ${MORVANE_WINE_RUN}
                     $<TARGET_FILE:e2e_driver> ${flow} ${CMAKE_BINARY_DIR}/dist
                     ${CMAKE_BINARY_DIR}/e2e-work/${flow} ${CMAKE_BINARY_DIR}/artifacts/e2e/${flow})
    morvane_wine_test_properties(e2e_${flow})
    # The flows write the machine-wide record, registration and Start menu.
    # The flows click with the real mouse: no other test may have a window on
    # the shared display meanwhile (the "screen" lock).
    set_tests_properties(e2e_${flow} PROPERTIES RESOURCE_LOCK "morvane_machine;screen" LABELS e2e)
endforeach()

# A pinned setup program, built the cheapest way: the program's entry with
# the pins of the distribution folder's unrar.exe and data.arc, in a
# distribution folder of its own with copies of those.
set(pinned_dist ${CMAKE_BINARY_DIR}/dist-pinned)
add_executable(pinned_setup WIN32 ${PROJECT_SOURCE_DIR}/src/app/main.cpp ${MORVANE_PINS_RC})
set_target_properties(pinned_setup PROPERTIES OUTPUT_NAME MorvaneSetup
                      RUNTIME_OUTPUT_DIRECTORY ${pinned_dist})
target_link_libraries(pinned_setup PRIVATE morvane_app)
add_dependencies(pinned_setup morvane_pins)
add_custom_command(TARGET pinned_setup POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_BINARY_DIR}/dist/unrar.exe
            ${CMAKE_BINARY_DIR}/dist/data.arc ${CMAKE_BINARY_DIR}/dist/version ${pinned_dist}/
    VERBATIM)
add_dependencies(e2e_driver pinned_setup)
add_test(NAME e2e_pinned
         COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/run-flow.sh ${MORVANE_WINE_RUN}
                 $<TARGET_FILE:e2e_driver> pinned ${pinned_dist}
                 ${CMAKE_BINARY_DIR}/e2e-work/pinned ${CMAKE_BINARY_DIR}/artifacts/e2e/pinned)
morvane_wine_test_properties(e2e_pinned)
set_tests_properties(e2e_pinned PROPERTIES RESOURCE_LOCK "morvane_machine;screen" LABELS e2e)

# The sample product with a file of a name beyond ASCII, in a distribution
# folder of its own: the name as the archive has it (UTF-8), as the log and
# the list of installed files have it, and as uninstall finds it again.
set(names_dist ${CMAKE_BINARY_DIR}/dist-names)
set(names_stage ${CMAKE_CURRENT_BINARY_DIR}/names-stage)
add_custom_command(
    OUTPUT ${names_dist}/data.arc
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${names_stage}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${names_stage} ${names_dist}
    COMMAND ${CMAKE_COMMAND} -E chdir ${names_stage} ${CMAKE_COMMAND} -E tar xzf
            ${CMAKE_BINARY_DIR}/dist/data.arc
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_LIST_DIR}/names/readme.txt
            "${names_stage}/Help/Café.txt"
    COMMAND ${CMAKE_COMMAND} -E chdir ${names_stage} ${CMAKE_COMMAND} -E tar czf
            ${names_dist}/data.arc --format=gnutar -- Demos Help Morvane.url MorvaneXControls.ocx
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_BINARY_DIR}/dist/MorvaneSetup.exe
            ${CMAKE_BINARY_DIR}/dist/unrar.exe ${CMAKE_BINARY_DIR}/dist/version ${names_dist}/
    DEPENDS morvane_dist ${CMAKE_CURRENT_LIST_DIR}/names/readme.txt
    VERBATIM)
add_custom_target(names_dist DEPENDS ${names_dist}/data.arc)
add_dependencies(e2e_driver names_dist)
add_test(NAME e2e_names
         COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/run-flow.sh ${MORVANE_WINE_RUN}
                 $<TARGET_FILE:e2e_driver> names ${names_dist}
                 ${CMAKE_BINARY_DIR}/e2e-work/names ${CMAKE_BINARY_DIR}/artifacts/e2e/names)
morvane_wine_test_properties(e2e_names)
set_tests_properties(e2e_names PROPERTIES RESOURCE_LOCK "morvane_machine;screen" LABELS e2e)

# The restart ends every process of the prefix: it runs alone.
add_test(NAME e2e_restart
         COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/restart-flow.sh ${MORVANE_WINE_RUN}
                 $<TARGET_FILE:e2e_driver> ${CMAKE_BINARY_DIR}/dist
                 ${CMAKE_BINARY_DIR}/e2e-work/restart ${CMAKE_BINARY_DIR}/artifacts/e2e/restart)
morvane_wine_test_properties(e2e_restart)
set_tests_properties(e2e_restart PROPERTIES RUN_SERIAL TRUE RESOURCE_LOCK "morvane_machine;screen"
                     LABELS e2e)

# A second product, named nothing like the sample: the setup program built
# from its own definition walks a first installation, and its name is all
# that shows on the pages, in the log, the record and the links.
set(other ${CMAKE_CURRENT_LIST_DIR}/other-product)
set(other_dist ${CMAKE_BINARY_DIR}/dist-other)
set(other_stage ${CMAKE_CURRENT_BINARY_DIR}/other-stage)
add_executable(other_setup WIN32 ${PROJECT_SOURCE_DIR}/src/app/main.cpp ${other}/Product.cpp)
set_target_properties(other_setup PROPERTIES OUTPUT_NAME QuillonSetup)
target_link_libraries(other_setup PRIVATE morvane_app)
morvane_e2e_driver(e2e_driver_other DEFINITION ${other}/Product.cpp)
file(GLOB_RECURSE other_files CONFIGURE_DEPENDS ${other}/files/*)
add_custom_command(
    OUTPUT ${other_dist}/data.arc
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${other_stage}
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${other}/files ${other_stage}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${other_stage}/Bin ${other_dist}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:VCDemo> ${other_stage}/Bin/QuillonViewer.exe
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:MorvaneXControls> ${other_stage}/QuillonGrid.ocx
    COMMAND ${CMAKE_COMMAND} -E chdir ${other_stage} ${CMAKE_COMMAND} -E tar czf
            ${other_dist}/data.arc --format=gnutar -- Bin Docs Quillon.url QuillonGrid.ocx
    DEPENDS ${other_files} VCDemo MorvaneXControls
    VERBATIM)
add_custom_target(other_dist
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:other_setup> $<TARGET_FILE:unrar>
            ${other}/version ${other_dist}/
    DEPENDS ${other_dist}/data.arc other_setup unrar
    VERBATIM)
add_dependencies(e2e_driver_other other_dist)
add_test(NAME e2e_other-product
         COMMAND ${CMAKE_COMMAND} -E env MORVANE_E2E_FORBIDDEN=Morvane
                 sh ${CMAKE_CURRENT_LIST_DIR}/run-flow.sh ${MORVANE_WINE_RUN}
                 $<TARGET_FILE:e2e_driver_other> first ${other_dist}
                 ${CMAKE_BINARY_DIR}/e2e-work/other-product
                 ${CMAKE_BINARY_DIR}/artifacts/e2e/other-product)
morvane_wine_test_properties(e2e_other-product)
set_tests_properties(e2e_other-product PROPERTIES RESOURCE_LOCK "morvane_machine;screen" LABELS e2e)
