vestrum_add_test(kelvorin_internal_files_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/internal_files_test.cpp
  LIBS kelvorin_catalog)
vestrum_add_test(kelvorin_catalog_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/catalog_test.cpp
  LIBS kelvorin_catalog)
vestrum_add_test(kelvorin_catalog_faults_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/catalog_faults_test.cpp
  LIBS kelvorin_catalog)
