# The SQL lexer against SQLite's prepare of the same condition, and the
# lexer's time on large crafted texts.
find_package(SQLite3 REQUIRED)
vestrum_add_benchmark(kelvorin_query_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/query_bench.cpp
  LIBS kelvorin_lexer SQLite::SQLite3 benchmark::benchmark)
