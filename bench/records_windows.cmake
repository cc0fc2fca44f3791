# The seating window over a full tournament, offscreen: opening it on one
# round, a sort click, and the unfiltered list filled and scrolled.
vestrum_add_benchmark(records_windows_bench
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/records_windows_bench.cpp
  LIBS app_records_windows)
