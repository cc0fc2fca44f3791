# The tournament data module: the database component, the players, seating
# and current-round cursors with their data sources, the activation checks,
# the round filter, the seating list's order, and the players' checks and
# list file actions.
vestrum_add_library(vestrum_records SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/players_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tournament_data.cpp
  LIBS kelvorin_table kelvorin_query_access vestrum_players_list platform_file)
