vestrum_add_test(kelvorin_values_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/field_types_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/values_arithmetic_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/values_compare_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/values_convert_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/values_encoding_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/values_variant_test.cpp
  LIBS kelvorin_values)
vestrum_add_fuzzer(kelvorin_values_stream_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/values_stream_fuzz.cpp
  LIBS kelvorin_values
  CORPUS ${CMAKE_CURRENT_LIST_DIR}/values_stream_corpus)
vestrum_add_fuzzer(kelvorin_values_ops_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/values_ops_fuzz.cpp
  LIBS kelvorin_values
  CORPUS ${CMAKE_CURRENT_LIST_DIR}/values_ops_corpus)
