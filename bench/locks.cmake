# Sessions and locks: reads by id under read locks with other slots holding
# the table, and two processes updating one table, against SQLite.
if(VESTRUM_BENCH)
  find_package(SQLite3 REQUIRED)
endif()
vestrum_add_benchmark(locks_bench
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/locks_bench.cpp
  LIBS kelvorin_catalog SQLite::SQLite3)
