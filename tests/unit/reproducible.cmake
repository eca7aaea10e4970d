# data.arc and the zip made twice from the same product tree are the same
# file (the packer the build uses; native only, it is no Windows program).
if(NOT WIN32 AND NOT MORVANE_FUZZ)
    add_test(NAME reproducible_archives
             COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/reproducible_check.sh ${MORVANE_PYTHON3}
                     ${PROJECT_SOURCE_DIR}/cmake/repro_archive.py ${PROJECT_SOURCE_DIR}/product/files)
endif()
