find_package(ICU REQUIRED COMPONENTS uc i18n)
vestrum_add_library(platform_locale
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/locale_code_page.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/locale_datetime.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/locale_profile.cpp
  LIBS ICU::i18n ICU::uc)
