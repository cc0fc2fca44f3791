# The local cursor's locate, autocommitted edit and post, and posts in one
# transaction, against SQLite doing the same.
if(VESTRUM_BENCH)
  find_package(SQLite3 REQUIRED)
endif()
vestrum_add_benchmark(cursor_bench
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/cursor_bench.cpp
  LIBS kelvorin_local_access SQLite::SQLite3)
