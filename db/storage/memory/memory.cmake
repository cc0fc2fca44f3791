vestrum_add_library(kelvorin_memory SOURCES ${CMAKE_CURRENT_LIST_DIR}/memory_manager.cpp
                    LIBS kelvorin_errors platform_system)
