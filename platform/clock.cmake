vestrum_add_library(platform_clock SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/clock.cpp)
