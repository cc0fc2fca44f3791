list(APPEND KELVORIN_SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/compress_commands.cpp)
list(APPEND KELVORIN_LIBS kelvorin_streams)
