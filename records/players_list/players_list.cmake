# The players list file as bytes: its reader and writer, and the conversion
# of a typed name into the code page. Pure functions, no database.
vestrum_add_library(vestrum_players_list SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/players_list.cpp
  ${CMAKE_CURRENT_LIST_DIR}/player_name.cpp
  LIBS platform_locale)
