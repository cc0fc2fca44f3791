# Record index inserts and point lookups over an in-memory record source.
vestrum_add_benchmark(btree_bench
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/btree_bench.cpp
  LIBS kelvorin_btree)
