# Table scans: the cursor's restrictions, scan conditions and how they
# combine, index conditions derived from filters, the choice of an index by
# cost, and the table operations a cursor navigates, counts and numbers with.
vestrum_add_library(kelvorin_scans SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/record_bitmap.cpp
  ${CMAKE_CURRENT_LIST_DIR}/scan_conditions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/scan_cursor.cpp
  ${CMAKE_CURRENT_LIST_DIR}/table_scans.cpp
  LIBS kelvorin_table_data kelvorin_expressions kelvorin_expr_nodes kelvorin_records kelvorin_btree)
