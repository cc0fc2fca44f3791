vestrum_add_test(kelvorin_locks_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/locks_test.cpp
  LIBS kelvorin_pages)
