vestrum_add_test(kelvorin_record_manager_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/record_manager_test.cpp
  LIBS kelvorin_records)
vestrum_add_test(kelvorin_record_faults_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/record_faults_test.cpp
  LIBS kelvorin_records)
vestrum_add_test(kelvorin_table_records_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/table_records_test.cpp
  LIBS kelvorin_catalog)
vestrum_add_test(kelvorin_table_content_check_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/table_content_check_test.cpp
  LIBS kelvorin_catalog)
