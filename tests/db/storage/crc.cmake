vestrum_add_test(kelvorin_crc_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/crc32_test.cpp
  LIBS kelvorin_crc)
