list(APPEND KELVORIN_SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/sql_command.cpp)
list(APPEND KELVORIN_LIBS kelvorin_query_access kelvorin_sql_dml kelvorin_ddl)
# Line editing and history at the prompt where the library is installed.
find_path(KELVORIN_READLINE_INCLUDE readline/readline.h)
find_library(KELVORIN_READLINE_LIBRARY readline)
if(KELVORIN_READLINE_INCLUDE AND KELVORIN_READLINE_LIBRARY)
  list(APPEND KELVORIN_LIBS ${KELVORIN_READLINE_LIBRARY})
  set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/sql_command.cpp PROPERTIES COMPILE_DEFINITIONS KELVORIN_READLINE=1)
endif()
