vestrum_add_test(kelvorin_exception_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/exception_test.cpp
                 LIBS kelvorin_errors)
