vestrum_add_test(vestrum_records_data_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/players_file_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tournament_data_test.cpp
  LIBS vestrum_records)
