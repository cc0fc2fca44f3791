vestrum_add_test(kelvorin_operators_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/ao_table_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ao_join_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ao_group_set_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ao_failure_test.cpp
  LIBS kelvorin_operators)
