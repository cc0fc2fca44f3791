# The page manager's commits and cached reads against raw pwrite/pread.
vestrum_add_benchmark(storage_bench
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/storage_bench.cpp
  LIBS kelvorin_pages)
