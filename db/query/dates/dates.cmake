vestrum_add_library(kelvorin_date_format
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/date_formater.cpp
  LIBS kelvorin_values kelvorin_errors platform_locale)
