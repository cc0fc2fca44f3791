# BLOB storage: references and values, the descriptors records use, the BLOB
# manager every kind of table storage derives from, small BLOB pages, large
# BLOBs and the BLOB manager of database files.
vestrum_add_library(kelvorin_blobs SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/blob_descriptors.cpp
  ${CMAKE_CURRENT_LIST_DIR}/blob_manager.cpp
  ${CMAKE_CURRENT_LIST_DIR}/small_blob_page.cpp
  ${CMAKE_CURRENT_LIST_DIR}/large_blob.cpp
  ${CMAKE_CURRENT_LIST_DIR}/disk_blob_manager.cpp
  LIBS kelvorin_records kelvorin_streams kelvorin_pages)
