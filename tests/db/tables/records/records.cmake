vestrum_add_test(kelvorin_field_access_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/field_access_test.cpp
  LIBS kelvorin_table_data)
vestrum_add_test(kelvorin_autoinc_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/autoinc_test.cpp
  LIBS kelvorin_table_data)
vestrum_add_test(kelvorin_table_post_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/table_post_test.cpp
  LIBS kelvorin_catalog)
vestrum_add_test(kelvorin_table_model_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/table_model_test.cpp
  LIBS kelvorin_catalog)
