vestrum_add_library(platform_file SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/file.cpp)
