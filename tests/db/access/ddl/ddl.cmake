vestrum_add_test(kelvorin_ddl_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ddl_test.cpp
  LIBS kelvorin_ddl kelvorin_sql_dml)
vestrum_add_test(kelvorin_ddl_kill_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ddl_kill_test.cpp
  LIBS kelvorin_ddl kelvorin_sql_dml)
vestrum_add_fuzzer(kelvorin_ddl_parse_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ddl_parse_fuzz.cpp
  LIBS kelvorin_ddl kelvorin_sql_dml
  CORPUS ${CMAKE_CURRENT_LIST_DIR}/parse_corpus)
