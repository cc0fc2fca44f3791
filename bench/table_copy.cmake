# Restructure, copy and Compact of whole tables against SQLite rebuilding,
# copying and vacuuming the same table; data syncs and memory of a copy.
if(VESTRUM_BENCH)
  find_package(SQLite3 REQUIRED)
endif()
vestrum_add_benchmark(table_copy_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/table_copy_bench.cpp
  LIBS kelvorin_table SQLite::SQLite3)
