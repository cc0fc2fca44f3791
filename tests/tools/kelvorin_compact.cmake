# kelvorin compact, run as the built program.
vestrum_add_test(kelvorin_compact_tool_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/kelvorin_compact_test.cpp)
if(TARGET kelvorin_compact_tool_test)
  target_compile_definitions(kelvorin_compact_tool_test PRIVATE VESTRUM_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
  add_dependencies(kelvorin_compact_tool_test kelvorin)
endif()
