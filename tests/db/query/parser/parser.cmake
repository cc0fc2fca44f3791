vestrum_add_test(kelvorin_expressions_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/expression_filter_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/expression_properties_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/expression_values_test.cpp
  LIBS kelvorin_expressions)
