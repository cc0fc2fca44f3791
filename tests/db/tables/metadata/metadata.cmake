vestrum_add_test(metadata_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/metadata_test.cpp
                 LIBS kelvorin_metadata)
vestrum_add_fuzzer(metadata_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/metadata_fuzz.cpp
                   LIBS kelvorin_metadata
                   CORPUS ${CMAKE_CURRENT_LIST_DIR}/metadata_corpus)
