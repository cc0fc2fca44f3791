vestrum_add_library(kelvorin_values
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/abs_variant.cpp
    ${CMAKE_CURRENT_LIST_DIR}/abs_variant_arithmetic.cpp
    ${CMAKE_CURRENT_LIST_DIR}/abs_variant_io.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dataset_types.cpp
    ${CMAKE_CURRENT_LIST_DIR}/field_types.cpp
    ${CMAKE_CURRENT_LIST_DIR}/value_compare.cpp
    ${CMAKE_CURRENT_LIST_DIR}/value_convert.cpp
    ${CMAKE_CURRENT_LIST_DIR}/value_encoding.cpp
    ${CMAKE_CURRENT_LIST_DIR}/value_stream.cpp
    ${CMAKE_CURRENT_LIST_DIR}/value_text.cpp
  LIBS kelvorin_errors kelvorin_memory platform_locale)
