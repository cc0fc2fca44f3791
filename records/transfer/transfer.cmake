# The round transfer between the pairing grid and the seating table.
vestrum_add_library(vestrum_round_transfer SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/seating_rows.cpp
  ${CMAKE_CURRENT_LIST_DIR}/round_transfer.cpp
  LIBS vestrum_records pairing_core)
