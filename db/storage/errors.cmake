vestrum_add_library(kelvorin_errors SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/abs_exception.cpp)
