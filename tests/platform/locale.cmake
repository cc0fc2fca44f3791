vestrum_add_test(platform_locale_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/locale_test.cpp
                 LIBS platform_locale)
