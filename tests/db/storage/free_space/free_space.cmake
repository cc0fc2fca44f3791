vestrum_add_test(kelvorin_free_space_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/free_space_test.cpp
  LIBS kelvorin_pages)
