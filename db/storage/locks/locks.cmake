# Sessions and locks: the sessions file, the table locks files and the
# lock manager of a multi-user database.
vestrum_add_library(kelvorin_locks SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/sessions_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/table_locks_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/table_lock_list.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lock_manager.cpp
  LIBS kelvorin_direct_file kelvorin_pages)
