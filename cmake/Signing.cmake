# Authenticode signatures on what we ship, when the build is given a
# certificate:
#     cmake --preset windows -DMORVANE_SIGN_PFX=<certificate.pfx>
# and, when building, its password in the environment variable
# MORVANE_SIGN_PASSWORD. Without a certificate nothing is signed.
set(MORVANE_SIGN_PFX "" CACHE FILEPATH
    "PKCS#12 certificate the shipped programs are signed with (empty: unsigned)")
set(MORVANE_SIGN_DESCRIPTION "Morvane ActiveX Setup" CACHE STRING
    "Program name the signatures carry")
set(MORVANE_SIGN_URL "https://www.morvane.example/" CACHE STRING
    "Web address the signatures carry")
set(MORVANE_SIGN_TIMESTAMP_URL "" CACHE STRING
    "RFC 3161 time-stamping server asked for each signature (empty: none)")
set(MORVANE_SIGN_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/sign.sh)

if(WIN32 AND MORVANE_SIGN_PFX)
    if(NOT EXISTS "${MORVANE_SIGN_PFX}")
        message(FATAL_ERROR "MORVANE_SIGN_PFX: no certificate at ${MORVANE_SIGN_PFX}")
    endif()
    find_program(MORVANE_OSSLSIGNCODE osslsigncode REQUIRED)
endif()

# The Makefile generator relinks when a link dependency changes but not when
# only a post-build step does: this file changes with the signing settings, so
# switching them signs (or unsigns) the next build.
set(_morvane_sign_settings ${CMAKE_BINARY_DIR}/signing-settings.txt)
file(CONFIGURE OUTPUT ${_morvane_sign_settings}
     CONTENT "${MORVANE_SIGN_PFX}\n${MORVANE_SIGN_DESCRIPTION}\n${MORVANE_SIGN_URL}\n${MORVANE_SIGN_TIMESTAMP_URL}\n")

# Signs the target's file right after each link, so that every copy made of
# it later (distribution folder, data.arc, zip) is the signed one.
function(morvane_sign target)
    if(NOT WIN32 OR MORVANE_FUZZ)
        return()
    endif()
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${_morvane_sign_settings})
    if(NOT MORVANE_SIGN_PFX)
        return()
    endif()
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${MORVANE_SIGN_PFX})
    # Signed at the commit's time: the same bytes and certificate give the
    # same signed file (a time stamp from a server is the exception).
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${MORVANE_SOURCE_DATE_EPOCH}
                sh ${MORVANE_SIGN_SCRIPT} ${MORVANE_SIGN_PFX} $<TARGET_FILE:${target}>
                ${MORVANE_SIGN_DESCRIPTION} ${MORVANE_SIGN_URL} ${MORVANE_SIGN_TIMESTAMP_URL}
        COMMENT "Signing ${target}"
        VERBATIM)
endfunction()
