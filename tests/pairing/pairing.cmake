# Tests of the pairing engine. The draws run the real cmd and wmatch, found on
# PATH from the build's program folder.
vestrum_add_test(pairing_core_test
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/grid_text_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/history_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/cell_by_cell_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/exchange_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/grouping_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/draw_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/one_click_test.cpp
  LIBS pairing_core
  ENV "PATH=${CMAKE_BINARY_DIR}/bin:$ENV{PATH}")
if(TARGET pairing_core_test)
  add_dependencies(pairing_core_test cmd wmatch)
endif()

vestrum_add_fuzzer(pairing_import_fuzz
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/import_fuzz.cpp
  LIBS pairing_core
  CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/import_corpus)
