# The application's answers to the database layer: dialogs, progress, errors.
find_package(Qt6 REQUIRED COMPONENTS Widgets)
vestrum_add_library(app_access_hooks
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/password_dialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/progress_win.cpp
    ${CMAKE_CURRENT_LIST_DIR}/access_hooks.cpp
  LIBS Qt6::Widgets kelvorin_session app_grid pairing_window)
set_target_properties(app_access_hooks PROPERTIES AUTOMOC ON)
