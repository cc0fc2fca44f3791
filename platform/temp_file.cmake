vestrum_add_library(platform_tempfile SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/temp_file.cpp)
