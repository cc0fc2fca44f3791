# Record storage: the memory and stored forms of records, the base of every
# record manager, record pages and the record manager of database files.
vestrum_add_library(kelvorin_records SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/record_layout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/small_record_page.cpp
  ${CMAKE_CURRENT_LIST_DIR}/disk_record_manager.cpp
  LIBS kelvorin_btree kelvorin_metadata kelvorin_pages)
