# Expressions against SQLite in the same run: parsing a condition against
# preparing it, filters and aggregates over 500,000 in-memory rows, the
# pathological LIKE, and the time to accept or refuse hostile texts.
find_package(SQLite3 REQUIRED)
vestrum_add_benchmark(expressions_bench
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/expressions_bench.cpp
  LIBS kelvorin_expressions SQLite::SQLite3)
