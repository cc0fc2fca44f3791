list(APPEND KELVORIN_SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/copy_commands.cpp)
list(APPEND KELVORIN_LIBS kelvorin_table kelvorin_session)
