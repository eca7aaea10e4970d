# The build's signing script gives each shipped program a signature that
# verifies, and that a change to the file breaks. Runs on the build host.
if(NOT WIN32 OR MORVANE_FUZZ)
    return()
endif()
add_test(NAME signing
         COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/scripts/sign_check.sh ${MORVANE_SIGN_SCRIPT}
                 $<TARGET_FILE:MorvaneSetup> $<TARGET_FILE:unrar> $<TARGET_FILE:MorvaneXControls>)
