# The distribution folder under Wine: data.arc unpacked by unrar.exe with the
# setup program's command line, the control registered by the real regsvr32.
morvane_add_win_test(product_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/product_test.cpp
    LIBS morvane_product morvane_product_ids ole32 uuid advapi32)
if(TARGET product_test)
    add_dependencies(product_test morvane_dist)
    target_compile_definitions(product_test PRIVATE "MORVANE_DIST_DIR=\"${CMAKE_BINARY_DIR}/dist\"")
    # Registers the control under HKEY_CLASSES_ROOT of the shared prefix.
    set_tests_properties(product_test PROPERTIES RESOURCE_LOCK morvane_machine)
endif()
