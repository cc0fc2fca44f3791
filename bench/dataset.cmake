# Datasets against SQLite in the same run: autocommitted posts, posts in
# one transaction, a filtered seating window with a lookup field, Locate.
if(VESTRUM_BENCH)
  find_package(SQLite3 REQUIRED)
endif()
vestrum_add_benchmark(dataset_bench
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/dataset_bench.cpp
  LIBS kelvorin_table SQLite::SQLite3)
