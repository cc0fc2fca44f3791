vestrum_add_test(platform_file_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/file_lock_test.cpp
  LIBS platform_file)
