# Program lookup and process start-up.
vestrum_add_library(platform_process
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/process.cpp)
