vestrum_add_test(compression_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/compression_test.cpp
                 LIBS kelvorin_compression)
