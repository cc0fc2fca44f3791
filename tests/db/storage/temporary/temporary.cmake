vestrum_add_test(kelvorin_temporary_records_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/temporary_record_manager_test.cpp
  LIBS kelvorin_catalog kelvorin_temporary)
vestrum_add_test(kelvorin_memory_records_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/memory_record_manager_test.cpp
  LIBS kelvorin_catalog kelvorin_temporary)
vestrum_add_test(kelvorin_volatile_pages_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/page_managers_test.cpp
  LIBS kelvorin_catalog kelvorin_temporary)
vestrum_add_test(kelvorin_memory_table_model_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/memory_table_model_test.cpp
  LIBS kelvorin_catalog kelvorin_temporary)
vestrum_add_test(kelvorin_temporary_table_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/temporary_table_test.cpp
  LIBS kelvorin_catalog kelvorin_temporary)
vestrum_add_test(kelvorin_temporary_indexes_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/temporary_indexes_test.cpp
  LIBS kelvorin_catalog kelvorin_temporary)
vestrum_add_test(kelvorin_temporary_files_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/temporary_files_test.cpp
  LIBS kelvorin_catalog kelvorin_temporary)
vestrum_add_fuzzer(fuzz_page_stream SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_page_stream.cpp
                   LIBS kelvorin_temporary
                   CORPUS ${CMAKE_CURRENT_LIST_DIR}/page_stream_corpus)
