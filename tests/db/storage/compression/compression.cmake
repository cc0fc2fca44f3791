vestrum_add_test(compression_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/compression_test.cpp
                 LIBS kelvorin_compression)
