# Table data: the database and table objects every kind of storage derives
# from, sessions and cursors as they see them, the table state block, record
# layouts and field access, the field, index and constraint managers, and
# the insert, update and delete flows.
vestrum_add_library(kelvorin_table_data SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/base_session.cpp
  ${CMAKE_CURRENT_LIST_DIR}/database_data.cpp
  ${CMAKE_CURRENT_LIST_DIR}/table_data.cpp
  ${CMAKE_CURRENT_LIST_DIR}/table_state.cpp
  ${CMAKE_CURRENT_LIST_DIR}/table_lock_guards.cpp
  ${CMAKE_CURRENT_LIST_DIR}/record_fields.cpp
  ${CMAKE_CURRENT_LIST_DIR}/field_access.cpp
  ${CMAKE_CURRENT_LIST_DIR}/field_manager.cpp
  ${CMAKE_CURRENT_LIST_DIR}/index_manager.cpp
  ${CMAKE_CURRENT_LIST_DIR}/constraint_manager.cpp
  ${CMAKE_CURRENT_LIST_DIR}/table_post.cpp
  ${CMAKE_CURRENT_LIST_DIR}/record_map.cpp
  LIBS kelvorin_blobs kelvorin_records kelvorin_btree kelvorin_metadata kelvorin_pages)
