# The local session and cursor: the process's open databases, sessions
# with their transactions, and cursors over a table with their edits,
# locks between processes and BLOB streams.
vestrum_add_library(kelvorin_local_access SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/cursor_lock_ledger.cpp
  ${CMAKE_CURRENT_LIST_DIR}/local_blob_stream.cpp
  ${CMAKE_CURRENT_LIST_DIR}/local_cursor.cpp
  ${CMAKE_CURRENT_LIST_DIR}/local_session.cpp
  LIBS kelvorin_scans kelvorin_catalog kelvorin_temporary kelvorin_locks platform_file)
