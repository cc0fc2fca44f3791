# The players and seating windows over the tournament data module.
find_package(Qt6 REQUIRED COMPONENTS Widgets)
vestrum_add_library(app_records_windows
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/grid_widths.cpp
    ${CMAKE_CURRENT_LIST_DIR}/field_watcher.cpp
    ${CMAKE_CURRENT_LIST_DIR}/records_child.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hraci_win.cpp
    ${CMAKE_CURRENT_LIST_DIR}/seskupeni_win.cpp
  LIBS Qt6::Widgets app_grid app_settings vestrum_records pairing_window)
set_target_properties(app_records_windows PROPERTIES AUTOMOC ON)
