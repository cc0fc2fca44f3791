# Expression nodes: the tree that conditions, values, filters and Locate are
# evaluated with, and the interfaces through which it reads rows.
vestrum_add_library(kelvorin_expr_nodes
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/aggregate_node.cpp
    ${CMAKE_CURRENT_LIST_DIR}/condition_nodes.cpp
    ${CMAKE_CURRENT_LIST_DIR}/date_function_node.cpp
    ${CMAKE_CURRENT_LIST_DIR}/expr_compare.cpp
    ${CMAKE_CURRENT_LIST_DIR}/expr_node.cpp
    ${CMAKE_CURRENT_LIST_DIR}/expr_text.cpp
    ${CMAKE_CURRENT_LIST_DIR}/function_nodes.cpp
    ${CMAKE_CURRENT_LIST_DIR}/like_matcher.cpp
    ${CMAKE_CURRENT_LIST_DIR}/node_arena.cpp
    ${CMAKE_CURRENT_LIST_DIR}/system_clock.cpp
    ${CMAKE_CURRENT_LIST_DIR}/value_nodes.cpp
  LIBS kelvorin_values kelvorin_metadata kelvorin_date_format platform_locale platform_clock)
