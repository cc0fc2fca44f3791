# The engine's byte streams: memory, file and temporary streams and the
# compressed BLOB stream over any of them.
vestrum_add_library(kelvorin_streams SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/stream.cpp
  ${CMAKE_CURRENT_LIST_DIR}/memory_stream.cpp
  ${CMAKE_CURRENT_LIST_DIR}/file_stream.cpp
  ${CMAKE_CURRENT_LIST_DIR}/temporary_stream.cpp
  ${CMAKE_CURRENT_LIST_DIR}/compressed_blob_settings.cpp
  ${CMAKE_CURRENT_LIST_DIR}/compressed_blob_stream.cpp
  LIBS kelvorin_compression kelvorin_memory kelvorin_errors kelvorin_crc platform_tempfile)
