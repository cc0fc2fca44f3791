# Internal files and the table catalogue: transacted and direct-access
# internal files, the system directory, the table list, the open database
# and its tables on disk, and the catalogue's checker. Direct-access files
# are a library of their own: the sessions and locks layer stands on them,
# and the catalogue on that layer.
vestrum_add_library(kelvorin_direct_file SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/direct_file.cpp
  LIBS kelvorin_pages)
vestrum_add_library(kelvorin_catalog SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/transacted_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/system_directory.cpp
  ${CMAKE_CURRENT_LIST_DIR}/table_list_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/table_trees.cpp
  ${CMAKE_CURRENT_LIST_DIR}/disk_table_files.cpp
  ${CMAKE_CURRENT_LIST_DIR}/disk_table_data.cpp
  ${CMAKE_CURRENT_LIST_DIR}/table_content_check.cpp
  ${CMAKE_CURRENT_LIST_DIR}/catalog_check.cpp
  ${CMAKE_CURRENT_LIST_DIR}/disk_database_data.cpp
  LIBS kelvorin_locks kelvorin_direct_file kelvorin_temporary kelvorin_table_data kelvorin_blobs kelvorin_records
       kelvorin_btree kelvorin_pages kelvorin_compression kelvorin_metadata)
