vestrum_add_test(metadata_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/metadata_test.cpp
                 LIBS kelvorin_metadata)
