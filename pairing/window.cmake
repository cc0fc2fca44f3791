# The pairing window (Qt Widgets) over the pairing engine.
find_package(Qt6 REQUIRED COMPONENTS Widgets)
vestrum_add_library(pairing_window
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/window_dialogs.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/window_mdi_child.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/window_grid_model.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/window_spin_box.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/system_win.cpp
  LIBS Qt6::Widgets pairing_core)
set_target_properties(pairing_window PROPERTIES AUTOMOC ON)
