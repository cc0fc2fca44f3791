# The query dataset: an SQL text with its parameters, prepared and run by
# the SQL processor, its rows shown as a dataset.
vestrum_add_library(kelvorin_query_access SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/query.cpp
  ${CMAKE_CURRENT_LIST_DIR}/select_into.cpp
  LIBS kelvorin_sql kelvorin_sql_dml kelvorin_table kelvorin_ddl)
