vestrum_add_test(kelvorin_dml_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/dml_test.cpp
  LIBS kelvorin_sql_dml kelvorin_ddl)
vestrum_add_test(kelvorin_dml_atomicity_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/dml_atomicity_test.cpp
  LIBS kelvorin_sql_dml kelvorin_ddl)
vestrum_add_test(kelvorin_dml_kill_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/dml_kill_test.cpp
  LIBS kelvorin_sql_dml)
