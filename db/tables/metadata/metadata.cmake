# Table metadata: definitions of fields, indexes and constraints, their lists
# and the stored metadata block.
vestrum_add_library(kelvorin_metadata SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/metadata_stream.cpp
  ${CMAKE_CURRENT_LIST_DIR}/meta_object_def.cpp
  ${CMAKE_CURRENT_LIST_DIR}/field_def.cpp
  ${CMAKE_CURRENT_LIST_DIR}/index_def.cpp
  ${CMAKE_CURRENT_LIST_DIR}/constraint_def.cpp
  ${CMAKE_CURRENT_LIST_DIR}/meta_object_defs.cpp
  ${CMAKE_CURRENT_LIST_DIR}/table_metadata.cpp
  LIBS kelvorin_values kelvorin_streams kelvorin_errors platform_locale)
