vestrum_add_library(kelvorin_errors SOURCES ${CMAKE_CURRENT_LIST_DIR}/abs_exception.cpp)
