# The relational operators a SELECT runs as, their result tables in the
# "TEMP" database and the placing of conditions in a tree of them.
vestrum_add_library(kelvorin_operators
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/ao.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ao_group_by.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ao_join.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ao_pass_through.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ao_table.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ao_union.cpp
    ${CMAKE_CURRENT_LIST_DIR}/operator_names.cpp
    ${CMAKE_CURRENT_LIST_DIR}/push_down.cpp
    ${CMAKE_CURRENT_LIST_DIR}/row_table.cpp
  LIBS kelvorin_local_access kelvorin_expressions)
