# The round transfer without a window, and kesh-draw --database. The chain's
# draws run the real cmd and wmatch, found on PATH from the build's program
# folder.
vestrum_add_test(vestrum_round_transfer_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/round_transfer_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/kesh_draw_database_test.cpp
  LIBS vestrum_round_transfer
  ENV "PATH=${CMAKE_BINARY_DIR}/bin:$ENV{PATH}")
if(TARGET vestrum_round_transfer_test)
  target_compile_definitions(vestrum_round_transfer_test PRIVATE VESTRUM_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
  add_dependencies(vestrum_round_transfer_test cmd wmatch kesh-draw)
endif()
