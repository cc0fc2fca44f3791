# Tests of program lookup and process start-up.
vestrum_add_test(process_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/process_test.cpp
  LIBS platform_process)
