vestrum_add_test(vestrum_players_list_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/players_list_test.cpp
  LIBS vestrum_players_list)
