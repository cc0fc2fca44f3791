# SELECT's relational operators (trees built as the statement layer builds
# them) against SQLite running the same queries.
if(VESTRUM_BENCH)
  find_package(SQLite3 REQUIRED)
endif()
vestrum_add_benchmark(select_bench
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/select_bench.cpp
  LIBS kelvorin_operators SQLite::SQLite3)
