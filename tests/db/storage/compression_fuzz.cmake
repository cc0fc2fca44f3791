foreach(codec zlib bzip ppm)
  vestrum_add_fuzzer(fuzz_decompress_${codec}
                     SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_decompress_${codec}.cpp
                     LIBS kelvorin_compression)
endforeach()
vestrum_add_fuzzer(fuzz_blob_headers SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_blob_headers.cpp
                   LIBS kelvorin_streams
                   CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/blob_headers_corpus)
