# The SQL statement processor: the statement framework, statement
# selection, the query statement (SELECT and set operations) with its
# parse tree, operator tree and execution.
vestrum_add_library(kelvorin_sql
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/query_expression.cpp
    ${CMAKE_CURRENT_LIST_DIR}/select_builder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sql_cursor_command.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sql_command.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sql_processor.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sql_select.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sql_union.cpp
    ${CMAKE_CURRENT_LIST_DIR}/table_reference.cpp
  LIBS kelvorin_operators)
