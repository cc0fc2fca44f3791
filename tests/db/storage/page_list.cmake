vestrum_add_test(kelvorin_page_list_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/page_list_test.cpp
  LIBS kelvorin_pages)
