# The data-changing statements (INSERT, UPDATE, DELETE) with their
# statement write unit, and the transaction statements.
vestrum_add_library(kelvorin_sql_dml
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/data_statements.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sql_insert.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sql_rows.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sql_transaction.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sql_update.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sql_write.cpp
  LIBS kelvorin_sql)
