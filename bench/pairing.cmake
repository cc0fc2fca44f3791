# The largest draw end to end: 510 players through cmd and wmatch.
vestrum_add_benchmark(pairing_draw
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/pairing_draw.cpp
  LIBS pairing_core)
if(TARGET pairing_draw)
  target_compile_definitions(pairing_draw PRIVATE VESTRUM_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
  add_dependencies(pairing_draw cmd wmatch kesh-draw)
endif()
