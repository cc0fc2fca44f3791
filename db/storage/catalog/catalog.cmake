# Internal files and the table catalogue: transacted and direct-access
# internal files, the system directory, the sessions file, the table list,
# the open database and its tables on disk, and the catalogue's checker.
vestrum_add_library(kelvorin_catalog SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/transacted_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/direct_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/system_directory.cpp
  ${CMAKE_CURRENT_LIST_DIR}/table_list_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sessions_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/table_trees.cpp
  ${CMAKE_CURRENT_LIST_DIR}/disk_table_files.cpp
  ${CMAKE_CURRENT_LIST_DIR}/disk_table_data.cpp
  ${CMAKE_CURRENT_LIST_DIR}/table_content_check.cpp
  ${CMAKE_CURRENT_LIST_DIR}/catalog_check.cpp
  ${CMAKE_CURRENT_LIST_DIR}/disk_database_data.cpp
  LIBS kelvorin_temporary kelvorin_table_data kelvorin_blobs kelvorin_records kelvorin_btree kelvorin_pages kelvorin_compression kelvorin_metadata)
