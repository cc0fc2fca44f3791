vestrum_add_test(kelvorin_dml_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/dml_test.cpp
  LIBS kelvorin_sql_dml kelvorin_ddl)
vestrum_add_test(kelvorin_dml_atomicity_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/dml_atomicity_test.cpp
  LIBS kelvorin_sql_dml kelvorin_ddl)
vestrum_add_test(kelvorin_dml_kill_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/dml_kill_test.cpp
  LIBS kelvorin_sql_dml)
# SQLite is linked to the differential test alone.
find_package(SQLite3)
if(SQLite3_FOUND)
  vestrum_add_test(kelvorin_dml_differential_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/dml_differential_test.cpp
    LIBS kelvorin_sql_dml kelvorin_ddl SQLite::SQLite3)
endif()
