vestrum_add_test(kelvorin_journal_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/journal_test.cpp
  LIBS kelvorin_pages)
