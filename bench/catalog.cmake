# The table catalogue (create, open, list, open each table, check, delete)
# against SQLite's schema doing the same work.
if(VESTRUM_BENCH)
  find_package(SQLite3 REQUIRED)
endif()
vestrum_add_benchmark(catalog_bench
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/catalog_bench.cpp
  LIBS kelvorin_catalog SQLite::SQLite3)
