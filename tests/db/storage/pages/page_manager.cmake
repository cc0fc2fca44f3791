vestrum_add_test(kelvorin_page_manager_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/page_manager_test.cpp
  LIBS kelvorin_pages)
