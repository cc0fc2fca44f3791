# The application shell: main window, about box, window settings, dialogs.
find_package(Qt6 REQUIRED COMPONENTS Widgets)
# Window settings stand alone: the records windows keep their column widths.
vestrum_add_library(app_settings
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/settings_store.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/window_settings.cpp
  LIBS Qt6::Widgets)

vestrum_add_library(app_shell
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/qt_dialogs.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/about_box.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/mdi_arrange.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tool_icons.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/round_box.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/main_form.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/application.cpp
  LIBS Qt6::Widgets app_settings app_records_windows app_access_hooks vestrum_records vestrum_round_transfer pairing_window)
set_target_properties(app_shell PROPERTIES AUTOMOC ON)

add_executable(pelmora ${CMAKE_CURRENT_SOURCE_DIR}/main.cpp)
target_link_libraries(pelmora PRIVATE app_shell)
