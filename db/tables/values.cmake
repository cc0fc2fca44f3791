vestrum_add_library(kelvorin_values
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/dataset_types.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/field_types.cpp
  LIBS kelvorin_errors kelvorin_memory platform_locale)
