vestrum_add_test(kelvorin_crash_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/crash_test.cpp
  LIBS kelvorin_pages)
