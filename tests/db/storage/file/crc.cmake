vestrum_add_test(kelvorin_crc_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/crc32_test.cpp
  LIBS kelvorin_crc)
