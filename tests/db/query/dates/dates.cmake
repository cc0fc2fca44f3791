vestrum_add_test(kelvorin_date_format_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/date_formater_test.cpp
  LIBS kelvorin_date_format)
vestrum_add_fuzzer(kelvorin_date_format_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/date_formater_fuzz.cpp
  LIBS kelvorin_date_format
  CORPUS ${CMAKE_CURRENT_LIST_DIR}/date_formater_corpus)
