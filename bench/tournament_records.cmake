# The tournament data module with a full tournament (510 players, 15 rounds):
# LoadAll of the players list, the seating list of one round with the names
# looked up, and a sort through "userindex".
vestrum_add_benchmark(tournament_records_bench
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tournament_records_bench.cpp
  LIBS vestrum_records)
