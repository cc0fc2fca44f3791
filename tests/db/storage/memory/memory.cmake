vestrum_add_test(kelvorin_memory_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/memory_test.cpp
                 LIBS kelvorin_memory)
