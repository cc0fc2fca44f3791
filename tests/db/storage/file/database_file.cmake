vestrum_add_test(kelvorin_database_file_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/database_file_test.cpp
  LIBS kelvorin_pages)
