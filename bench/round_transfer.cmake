# "Seskup kolo" over 510 players and 15 rounds: the database part beside
# SQLite doing the same, and the whole command with the draw.
if(VESTRUM_BENCH)
  find_package(SQLite3 REQUIRED)
endif()
vestrum_add_benchmark(round_transfer_bench
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/round_transfer_bench.cpp
  LIBS vestrum_round_transfer SQLite::SQLite3)
if(TARGET round_transfer_bench)
  target_compile_definitions(round_transfer_bench PRIVATE VESTRUM_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
  add_dependencies(round_transfer_bench cmd wmatch)
endif()
