list(APPEND KELVORIN_SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/datefmt_command.cpp)
list(APPEND KELVORIN_LIBS kelvorin_date_format)
