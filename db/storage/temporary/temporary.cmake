# Temporary and in-memory storage: the process's temporary budget, the
# memory and temporary page managers, the record and BLOB managers of
# temporary and in-memory tables, those tables and their "TEMP" and
# "MEMORY" databases, and temporary indexes.
vestrum_add_library(kelvorin_temporary SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/temporary_budget.cpp
  ${CMAKE_CURRENT_LIST_DIR}/page_numbers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/memory_page_manager.cpp
  ${CMAKE_CURRENT_LIST_DIR}/temporary_page_manager.cpp
  ${CMAKE_CURRENT_LIST_DIR}/record_array.cpp
  ${CMAKE_CURRENT_LIST_DIR}/temporary_record_manager.cpp
  ${CMAKE_CURRENT_LIST_DIR}/memory_record_manager.cpp
  ${CMAKE_CURRENT_LIST_DIR}/memory_blob_manager.cpp
  ${CMAKE_CURRENT_LIST_DIR}/temporary_blob_manager.cpp
  ${CMAKE_CURRENT_LIST_DIR}/volatile_table_data.cpp
  ${CMAKE_CURRENT_LIST_DIR}/memory_table_data.cpp
  ${CMAKE_CURRENT_LIST_DIR}/temporary_table_data.cpp
  ${CMAKE_CURRENT_LIST_DIR}/volatile_database_data.cpp
  ${CMAKE_CURRENT_LIST_DIR}/memory_database_data.cpp
  ${CMAKE_CURRENT_LIST_DIR}/temporary_database_data.cpp
  ${CMAKE_CURRENT_LIST_DIR}/temporary_indexes.cpp
  LIBS kelvorin_table_data kelvorin_blobs kelvorin_records kelvorin_btree kelvorin_pages kelvorin_streams kelvorin_metadata)
