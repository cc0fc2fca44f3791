# kelvorin create-table / load / dump / drop-table, run as the built program.
vestrum_add_test(kelvorin_tables_tool_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/kelvorin_tables_test.cpp
  LIBS kelvorin_catalog)
if(TARGET kelvorin_tables_tool_test)
  target_compile_definitions(kelvorin_tables_tool_test PRIVATE VESTRUM_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
  add_dependencies(kelvorin_tables_tool_test kelvorin)
endif()
