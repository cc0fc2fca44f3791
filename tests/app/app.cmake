# Tests of the application shell; Qt runs without a display.
find_package(Qt6 REQUIRED COMPONENTS Widgets Test)
vestrum_add_test(app_shell_test
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/app_test_main.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/application_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/window_settings_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/main_form_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/qt_dialogs_test.cpp
  LIBS app_shell Qt6::Test
  ENV QT_QPA_PLATFORM=offscreen)
