vestrum_add_test(kelvorin_sql_parse_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/sql_parse_test.cpp
  LIBS kelvorin_sql)
