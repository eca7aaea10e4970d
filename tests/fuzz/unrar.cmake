# The extraction program's archive reader under libFuzzer.
morvane_add_fuzz_target(unrar_reader_fuzz
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/unrar_reader_fuzz.cpp
    LIBS unrar_core)

if(MORVANE_FUZZ)
    # Seeds: tiny archives in each form the reader knows, made by CMake's own
    # tar at configure time into the target's corpus folder.
    set(seed_tree ${CMAKE_CURRENT_BINARY_DIR}/unrar_reader_fuzz-seed-tree)
    set(seed_corpus ${CMAKE_CURRENT_BINARY_DIR}/unrar_reader_fuzz-corpus)
    string(REPEAT "n" 110 long_name)
    file(WRITE ${seed_tree}/dir/file.txt "seed")
    file(WRITE ${seed_tree}/dir/${long_name}.dat "long")
    file(WRITE ${seed_tree}/empty "")
    file(MAKE_DIRECTORY ${seed_corpus})
    foreach(form "czf;gnutar;gnu.tgz" "czf;pax;pax.tgz" "cf;paxr;paxr.tar" "cf;gnutar;gnu.tar")
        list(GET form 0 mode)
        list(GET form 1 format)
        list(GET form 2 name)
        if(NOT EXISTS ${seed_corpus}/seed-${name})
            execute_process(COMMAND ${CMAKE_COMMAND} -E tar ${mode} ${seed_corpus}/seed-${name}
                                    --format=${format} -- dir empty
                            WORKING_DIRECTORY ${seed_tree})
        endif()
    endforeach()
endif()

# The sparse maps of the four GNU forms, each wrapped in an archive.
morvane_add_fuzz_target(unrar_sparse_fuzz
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/unrar_sparse_fuzz.cpp
    LIBS unrar_core)
if(MORVANE_FUZZ)
    target_include_directories(unrar_sparse_fuzz PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    # Seeds: one valid map of each form (see the target's input layout):
    # "00000000" is the real size, "00" asks for 12336 bytes of data.
    set(sparse_corpus ${CMAKE_CURRENT_BINARY_DIR}/unrar_sparse_fuzz-corpus)
    string(REPEAT "x" 502 block_rest)
    file(WRITE ${sparse_corpus}/seed-gnu "0000000000000000000000 00000030060 ")
    file(WRITE ${sparse_corpus}/seed-0.1 "10000000000100,12336")
    file(WRITE ${sparse_corpus}/seed-0.0 "2000000000010\n12336")
    file(WRITE ${sparse_corpus}/seed-1.0 "3000000000001\n0\n12336\n${block_rest}")
endif()
