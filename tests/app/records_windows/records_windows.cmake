# The players and seating windows, the main window over the tournament file
# and the database layer's hooks, with the real engine and without a display.
# The command bar's draws run the real cmd and wmatch, found on PATH from the
# build's program folder.
find_package(Qt6 REQUIRED COMPONENTS Widgets Test)
vestrum_add_test(app_records_windows_test
  SOURCES
    ${CMAKE_SOURCE_DIR}/tests/app/app_test_main.cpp
    ${CMAKE_CURRENT_LIST_DIR}/records_windows_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/file_actions_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/command_bar_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/access_hooks_test.cpp
  LIBS app_shell Qt6::Test
  ENV QT_QPA_PLATFORM=offscreen "PATH=${CMAKE_BINARY_DIR}/bin:$ENV{PATH}")
if(TARGET app_records_windows_test)
  add_dependencies(app_records_windows_test cmd wmatch)
endif()
