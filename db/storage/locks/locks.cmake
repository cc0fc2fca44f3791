# Sessions and locks: the sessions file, the table locks files and the
# lock manager of a multi-user database.
vestrum_add_library(kelvorin_locks SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/sessions_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/table_locks_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/table_lock_list.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lock_manager.cpp
  LIBS kelvorin_direct_file kelvorin_pages)
# Reading the locks of a file from outside (the tool's locks command): it
# needs the catalogue to find every table's locks file.
vestrum_add_library(kelvorin_lock_inspection SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/lock_inspection.cpp
  LIBS kelvorin_catalog kelvorin_locks)
