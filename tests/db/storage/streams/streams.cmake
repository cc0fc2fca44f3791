vestrum_add_test(streams_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/streams_test.cpp
                 ${CMAKE_CURRENT_LIST_DIR}/compressed_blob_stream_test.cpp
                 LIBS kelvorin_streams)
vestrum_add_fuzzer(fuzz_blob_headers SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_blob_headers.cpp
                   LIBS kelvorin_streams
                   CORPUS ${CMAKE_CURRENT_LIST_DIR}/blob_headers_corpus)
