# The engine's CRC-32 on its own, for layers that checksum without the file
# layer or Crypto++ (compression streams among them).
vestrum_add_library(kelvorin_crc SOURCES ${CMAKE_CURRENT_LIST_DIR}/crc32.cpp)
