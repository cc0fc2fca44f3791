vestrum_add_test(kelvorin_scan_conditions_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/scan_conditions_test.cpp
  LIBS kelvorin_scans)
# The scans against a model of the table and, for the integer subset,
# against SQLite (linked to this test alone).
find_package(SQLite3 REQUIRED)
vestrum_add_test(kelvorin_table_scans_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/table_scans_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/scans_model_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/scans_locks_test.cpp
  LIBS kelvorin_scans kelvorin_catalog SQLite::SQLite3)
