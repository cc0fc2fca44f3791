# Record and BLOB storage (insert, scan, empty, small and large BLOBs
# written and read back) against SQLite's tables doing the same work.
if(VESTRUM_BENCH)
  find_package(SQLite3 REQUIRED)
endif()
vestrum_add_benchmark(records_bench
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/records_bench.cpp
  LIBS kelvorin_catalog SQLite::SQLite3)
