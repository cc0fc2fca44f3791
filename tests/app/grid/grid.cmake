# The data-aware grid over real tables, without a display.
find_package(Qt6 REQUIRED COMPONENTS Widgets Test)
vestrum_add_test(app_grid_test
  SOURCES
    ${CMAKE_SOURCE_DIR}/tests/app/qt_test_main.cpp
    ${CMAKE_CURRENT_LIST_DIR}/db_grid_test.cpp
  LIBS app_grid kelvorin_table Qt6::Test
  ENV QT_QPA_PLATFORM=offscreen)
