# The SQL statements that change the structure of the database: CREATE,
# DROP, ALTER and RENAME TABLE, CREATE and DROP INDEX, with the column
# grammar they share.
vestrum_add_library(kelvorin_ddl SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/alter_table.cpp
  ${CMAKE_CURRENT_LIST_DIR}/create_table.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ddl_definitions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ddl_statement.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ddl_statements.cpp
  ${CMAKE_CURRENT_LIST_DIR}/drop_table.cpp
  ${CMAKE_CURRENT_LIST_DIR}/index_statements.cpp
  LIBS kelvorin_sql kelvorin_table)
