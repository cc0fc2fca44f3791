list(APPEND KELVORIN_SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/expr_command.cpp)
list(APPEND KELVORIN_LIBS kelvorin_expressions)
