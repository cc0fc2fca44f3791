# Table data (inserts, scans, lookups, index builds, BLOBs, emptying)
# against SQLite doing the same work.
if(VESTRUM_BENCH)
  find_package(SQLite3 REQUIRED)
endif()
vestrum_add_benchmark(table_data_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/table_data_bench.cpp
  LIBS kelvorin_catalog kelvorin_streams SQLite::SQLite3)
