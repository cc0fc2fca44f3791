vestrum_add_test(kelvorin_exception_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/exception_test.cpp
                 LIBS kelvorin_errors)
