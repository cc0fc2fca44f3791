vestrum_add_library(platform_system SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/system_memory.cpp)
