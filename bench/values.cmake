vestrum_add_benchmark(kelvorin_values_bench
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/values_bench.cpp
  LIBS kelvorin_values benchmark::benchmark)
