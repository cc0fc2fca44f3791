vestrum_add_test(kelvorin_sql_parse_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/sql_parse_test.cpp
  LIBS kelvorin_sql)
vestrum_add_test(kelvorin_sql_select_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/sql_select_test.cpp
  LIBS kelvorin_sql)
# The differential test against SQLite; SQLite is linked to this test alone.
find_package(SQLite3)
if(SQLite3_FOUND)
  vestrum_add_test(kelvorin_sql_differential_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/sql_differential_test.cpp
    LIBS kelvorin_sql SQLite::SQLite3)
endif()
vestrum_add_fuzzer(kelvorin_sql_parse_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/sql_parse_fuzz.cpp
  LIBS kelvorin_sql
  CORPUS ${CMAKE_CURRENT_LIST_DIR}/parse_corpus)
