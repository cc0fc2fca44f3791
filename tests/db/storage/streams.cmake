vestrum_add_test(streams_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/streams_test.cpp
                 ${CMAKE_CURRENT_SOURCE_DIR}/compressed_blob_stream_test.cpp
                 LIBS kelvorin_streams)
