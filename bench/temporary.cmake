# Temporary tables (appending and scanning, in memory and spilled) against
# SQLite's temporary tables doing the same work.
if(VESTRUM_BENCH)
  find_package(SQLite3 REQUIRED)
endif()
vestrum_add_benchmark(temporary_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/temporary_bench.cpp
  LIBS kelvorin_catalog kelvorin_temporary SQLite::SQLite3)
