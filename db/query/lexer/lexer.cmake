vestrum_add_library(kelvorin_lexer
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/lexer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/reserved_words.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sql_params.cpp
  LIBS kelvorin_values kelvorin_errors platform_locale platform_system)
