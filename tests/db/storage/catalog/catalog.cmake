vestrum_add_test(kelvorin_internal_files_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/internal_files_test.cpp
  LIBS kelvorin_catalog)
