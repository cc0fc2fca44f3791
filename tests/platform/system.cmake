vestrum_add_test(platform_system_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/system_memory_test.cpp
                 LIBS platform_system)
