# The data-aware grid: a dataset shown and edited in a Qt table view.
find_package(Qt6 REQUIRED COMPONENTS Widgets)
vestrum_add_library(app_grid
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/ansi_text.cpp
    ${CMAKE_CURRENT_LIST_DIR}/db_grid_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/db_grid.cpp
  LIBS Qt6::Widgets kelvorin_dataset platform_locale pairing_window)
set_target_properties(app_grid PROPERTIES AUTOMOC ON)
