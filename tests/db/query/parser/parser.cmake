vestrum_add_test(kelvorin_expressions_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/expression_filter_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/expression_properties_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/expression_values_test.cpp
  LIBS kelvorin_expressions)
vestrum_add_fuzzer(kelvorin_expression_filter_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/expression_filter_fuzz.cpp
  LIBS kelvorin_expressions
  CORPUS ${CMAKE_CURRENT_LIST_DIR}/filter_corpus)
# The differential test against SQLite; SQLite is linked to this test alone.
find_package(SQLite3)
if(SQLite3_FOUND)
  vestrum_add_test(kelvorin_expressions_sqlite_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/sqlite_differential_test.cpp
    LIBS kelvorin_expressions SQLite::SQLite3)
endif()
