vestrum_add_test(kelvorin_page_index_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/page_index_test.cpp
  LIBS kelvorin_btree)
vestrum_add_test(kelvorin_record_index_model_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/record_index_model_test.cpp
  LIBS kelvorin_btree)
vestrum_add_test(kelvorin_record_index_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/record_index_test.cpp
  LIBS kelvorin_btree)
vestrum_add_fuzzer(kelvorin_index_pages_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/index_pages_fuzz.cpp
  LIBS kelvorin_btree
  CORPUS ${CMAKE_CURRENT_LIST_DIR}/index_pages_corpus)
