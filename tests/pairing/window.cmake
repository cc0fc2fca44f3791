# Tests of the pairing window; they run the real cmd and wmatch.
find_package(Qt6 REQUIRED COMPONENTS Widgets Test)
vestrum_add_test(pairing_window_test
  SOURCES
    ${CMAKE_SOURCE_DIR}/tests/app/qt_test_main.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/window_test.cpp
  LIBS pairing_window Qt6::Test
  ENV QT_QPA_PLATFORM=offscreen)
if(TARGET pairing_window_test)
  add_dependencies(pairing_window_test cmd wmatch)
endif()
