# kelvorin copy-table and restructure, run as the built program.
vestrum_add_test(kelvorin_copy_tool_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/kelvorin_copy_test.cpp)
if(TARGET kelvorin_copy_tool_test)
  target_compile_definitions(kelvorin_copy_tool_test PRIVATE VESTRUM_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
  add_dependencies(kelvorin_copy_tool_test kelvorin)
endif()
