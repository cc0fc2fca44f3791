vestrum_add_test(kelvorin_table_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/record_copy_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/table_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/table_copying_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/table_import_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/table_copy_model_test.cpp
  LIBS kelvorin_table)
