# The table dataset: table maintenance, indexes, ranges and master/detail;
# the record copy shared by the copying operations, and the table copy
# that compacting a database uses.
vestrum_add_library(kelvorin_table SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/hidden_table.cpp
  ${CMAKE_CURRENT_LIST_DIR}/record_copy.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stored_copy.cpp
  ${CMAKE_CURRENT_LIST_DIR}/table.cpp
  ${CMAKE_CURRENT_LIST_DIR}/table_copy.cpp
  ${CMAKE_CURRENT_LIST_DIR}/table_copying.cpp
  ${CMAKE_CURRENT_LIST_DIR}/table_maintenance.cpp
  LIBS kelvorin_dataset)
