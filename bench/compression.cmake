vestrum_add_benchmark(compression_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/compression_bench.cpp
                      LIBS kelvorin_streams)
