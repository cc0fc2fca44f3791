# CREATE INDEX and ALTER TABLE ADD/DROP over 100,000 rows against SQLite
# (its ALTER as the one-transaction rebuild) in the same run.
if(VESTRUM_BENCH)
  find_package(SQLite3 REQUIRED)
endif()
vestrum_add_benchmark(ddl_bench
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/ddl_bench.cpp
  LIBS kelvorin_ddl kelvorin_sql_dml SQLite::SQLite3)
