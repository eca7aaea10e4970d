# The built installer driven from outside as a user would: e2e_driver starts
# MorvaneSetup.exe in a copy of the distribution folder, walks its pages on a
# virtual display and checks the machine afterwards. One ctest test per flow;
# screenshots of every page land in <build>/artifacts/e2e/<flow>/.
if(NOT WIN32 OR MORVANE_FUZZ)
    return()
endif()

add_executable(e2e_driver
    ${CMAKE_CURRENT_LIST_DIR}/driver.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Machine.cpp
    ${CMAKE_CURRENT_LIST_DIR}/UiDriver.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Wizard.cpp)
target_include_directories(e2e_driver PRIVATE ${PROJECT_SOURCE_DIR}/tests ${PROJECT_SOURCE_DIR}/src)
# The component's class id comes from the product's own header.
target_link_libraries(e2e_driver PRIVATE morvane_product_ids ole32 shell32 user32 gdi32 advapi32
                      uuid)

# Until the setup program and the distribution folder exist there is nothing
# to drive; the tree stays green meanwhile.
if(NOT TARGET MorvaneSetup OR NOT TARGET morvane_dist)
    return()
endif()
add_dependencies(e2e_driver morvane_dist)

foreach(flow first update repair uninstall keep-foreign damaged cancel refusals help)
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
