# Filtered cursors (counts and stepping, with and without an index) and the
# seating screen, against SQLite doing the same queries.
if(VESTRUM_BENCH)
  find_package(SQLite3 REQUIRED)
endif()
vestrum_add_benchmark(scans_bench
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/scans_bench.cpp
  LIBS kelvorin_scans kelvorin_catalog SQLite::SQLite3)
