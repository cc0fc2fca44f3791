# kelvorin sql, run as the built program.
vestrum_add_test(kelvorin_sql_tool_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/kelvorin_sql_test.cpp)
if(TARGET kelvorin_sql_tool_test)
  target_compile_definitions(kelvorin_sql_tool_test PRIVATE VESTRUM_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
  add_dependencies(kelvorin_sql_tool_test kelvorin)
endif()
