# The dataset layer: fields and definitions, data sources and links, the
# dataset base with its states and events, and the dataset over a local
# cursor with its filters, searches, bookmarks and BLOB streams.
vestrum_add_library(kelvorin_dataset SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/abs_dataset.cpp
  ${CMAKE_CURRENT_LIST_DIR}/blob_stream.cpp
  ${CMAKE_CURRENT_LIST_DIR}/caught_errors.cpp
  ${CMAKE_CURRENT_LIST_DIR}/data_link.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dataset.cpp
  ${CMAKE_CURRENT_LIST_DIR}/date_forms.cpp
  ${CMAKE_CURRENT_LIST_DIR}/engine_error.cpp
  ${CMAKE_CURRENT_LIST_DIR}/field.cpp
  ${CMAKE_CURRENT_LIST_DIR}/field_defs.cpp
  LIBS kelvorin_session)
