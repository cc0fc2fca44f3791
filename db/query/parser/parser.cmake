# The expression holder and the grammar of conditions and values.
vestrum_add_library(kelvorin_expressions
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/expression.cpp
    ${CMAKE_CURRENT_LIST_DIR}/expression_parser.cpp
  LIBS kelvorin_expr_nodes kelvorin_lexer)
