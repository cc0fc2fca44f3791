# kelvorin create / info / tables / check / locks, run as the built program (the
# engine makes the tables it lists).
vestrum_add_test(kelvorin_files_tool_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/kelvorin_files_test.cpp
  LIBS kelvorin_catalog)
if(TARGET kelvorin_files_tool_test)
  target_compile_definitions(kelvorin_files_tool_test PRIVATE VESTRUM_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
  add_dependencies(kelvorin_files_tool_test kelvorin)
endif()
