# Table data: the database and table objects every kind of storage derives
# from, sessions and cursors as they see them, and the table state block.
vestrum_add_library(kelvorin_table_data SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/database_data.cpp
  ${CMAKE_CURRENT_LIST_DIR}/table_data.cpp
  ${CMAKE_CURRENT_LIST_DIR}/table_state.cpp
  ${CMAKE_CURRENT_LIST_DIR}/table_lock_guards.cpp
  LIBS kelvorin_metadata kelvorin_pages)
