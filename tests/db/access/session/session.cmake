vestrum_add_test(kelvorin_session_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/session_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/compact_test.cpp
  LIBS kelvorin_session kelvorin_table)
