# The pairing engine: grid, history and weights, matching exchange, grouping.
vestrum_add_library(pairing_core
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/pairing_error.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/grid.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/command_prefix.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/command_runner.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/text_lines.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/text_conversion.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/pairing_engine.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/grid_text.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/history.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/matching_exchange.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/weights.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/pair_table.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/grouping.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/one_click.cpp
  LIBS platform_process)
