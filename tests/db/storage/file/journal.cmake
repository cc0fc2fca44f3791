vestrum_add_test(kelvorin_journal_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/journal_test.cpp
  LIBS kelvorin_pages)
