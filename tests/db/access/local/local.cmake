vestrum_add_test(kelvorin_local_access_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/local_session_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/local_cursor_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cursor_locks_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/local_blob_stream_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/volatile_cursor_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cursor_changes_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cursor_index_faults_test.cpp
  LIBS kelvorin_local_access)
