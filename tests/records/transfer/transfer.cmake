# The round transfer without a window. The chain's draws run the real cmd
# and wmatch, found on PATH from the build's program folder.
vestrum_add_test(vestrum_round_transfer_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/round_transfer_test.cpp
  LIBS vestrum_round_transfer
  ENV "PATH=${CMAKE_BINARY_DIR}/bin:$ENV{PATH}")
if(TARGET vestrum_round_transfer_test)
  add_dependencies(vestrum_round_transfer_test cmd wmatch)
endif()
