# SELECT statements (their SQL text run through the processor) against
# SQLite running the same statements.
if(VESTRUM_BENCH)
  find_package(SQLite3 REQUIRED)
endif()
vestrum_add_benchmark(select_bench
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/select_bench.cpp
  LIBS kelvorin_sql SQLite::SQLite3)
