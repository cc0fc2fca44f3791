# The database file: layout, checksums, page encryption and the file wrapper.
vestrum_add_library(kelvorin_dbfile
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/database_file_layout.cpp
          ${CMAKE_CURRENT_LIST_DIR}/page_cipher.cpp
          ${CMAKE_CURRENT_LIST_DIR}/database_file.cpp
          ${CMAKE_CURRENT_LIST_DIR}/journal.cpp
  LIBS kelvorin_crc kelvorin_errors platform_file cryptopp)
