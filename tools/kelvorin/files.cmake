list(APPEND KELVORIN_SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/files_commands.cpp)
list(APPEND KELVORIN_LIBS kelvorin_lock_inspection kelvorin_catalog kelvorin_pages)
