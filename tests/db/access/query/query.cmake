vestrum_add_test(kelvorin_query_access_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/query_test.cpp
  LIBS kelvorin_query_access)
vestrum_add_test(kelvorin_select_into_kill_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/select_into_kill_test.cpp
  LIBS kelvorin_query_access)
