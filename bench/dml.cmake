# INSERT, UPDATE, DELETE and a rolled-back transaction against SQLite
# running the same statements.
if(VESTRUM_BENCH)
  find_package(SQLite3 REQUIRED)
endif()
vestrum_add_benchmark(dml_bench
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/dml_bench.cpp
  LIBS kelvorin_sql_dml kelvorin_ddl SQLite::SQLite3)
