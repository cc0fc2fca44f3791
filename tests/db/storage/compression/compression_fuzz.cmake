foreach(codec zlib bzip ppm)
  vestrum_add_fuzzer(fuzz_decompress_${codec}
                     SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_decompress_${codec}.cpp
                     LIBS kelvorin_compression)
endforeach()
