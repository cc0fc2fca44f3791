vestrum_add_test(kelvorin_lexer_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/lexer_test.cpp
  LIBS kelvorin_lexer)
vestrum_add_fuzzer(kelvorin_lexer_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/lexer_fuzz.cpp
  LIBS kelvorin_lexer
  CORPUS ${CMAKE_CURRENT_LIST_DIR}/lexer_corpus)
