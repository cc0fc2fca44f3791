vestrum_add_test(kelvorin_expr_nodes_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/expr_nodes_test.cpp
  LIBS kelvorin_expr_nodes)
