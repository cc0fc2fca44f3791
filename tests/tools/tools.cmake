# Tests of the programs beside the main one: wmatch, cmd and kesh-draw.
vestrum_add_test(tools_test
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/wmatch_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/cmd_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/kesh_draw_test.cpp
  LIBS wmatch_core cmd_core kesh_draw_core)
if(TARGET tools_test)
  target_compile_definitions(tools_test PRIVATE VESTRUM_BIN_DIR="${CMAKE_BINARY_DIR}/bin"
                                                VESTRUM_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  add_dependencies(tools_test wmatch cmd kesh-draw)
endif()

vestrum_add_fuzzer(wmatch_input_fuzz
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/wmatch_fuzz.cpp
  LIBS wmatch_core
  CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/wmatch_corpus)
