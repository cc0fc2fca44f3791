vestrum_add_fuzzer(kelvorin_database_file_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/database_file_fuzz.cpp
  LIBS kelvorin_catalog kelvorin_blobs kelvorin_pages
  CORPUS ${CMAKE_CURRENT_LIST_DIR}/database_file_corpus)
