vestrum_add_test(kelvorin_page_list_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/page_list_test.cpp
  LIBS kelvorin_pages)
