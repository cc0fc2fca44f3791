list(APPEND KELVORIN_SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tables_commands.cpp ${CMAKE_CURRENT_SOURCE_DIR}/table_text.cpp)
list(APPEND KELVORIN_LIBS kelvorin_catalog kelvorin_scans)
