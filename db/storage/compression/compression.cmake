# PPM codec (no engine dependencies) and the compression layer over zlib,
# libbz2 and it.
vestrum_add_library(kelvorin_ppmd SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ppmd.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ppmd_model.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ppmd_allocator.cpp)
# Contexts overlay their single symbol on two of their fields.
target_compile_options(kelvorin_ppmd PRIVATE -fno-strict-aliasing)

find_package(ZLIB REQUIRED)
find_package(BZip2 REQUIRED)
vestrum_add_library(kelvorin_compression SOURCES ${CMAKE_CURRENT_LIST_DIR}/compression.cpp
                    LIBS kelvorin_ppmd kelvorin_memory ZLIB::ZLIB BZip2::BZip2)
