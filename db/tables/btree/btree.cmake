# B-tree indexes: the index page machinery, the page-index trees of the
# storage layer and the record indexes of tables.
vestrum_add_library(kelvorin_btree SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/btree_page.cpp
  ${CMAKE_CURRENT_LIST_DIR}/key_path.cpp
  ${CMAKE_CURRENT_LIST_DIR}/btree.cpp
  ${CMAKE_CURRENT_LIST_DIR}/btree_check.cpp
  ${CMAKE_CURRENT_LIST_DIR}/page_index.cpp
  ${CMAKE_CURRENT_LIST_DIR}/record_key.cpp
  ${CMAKE_CURRENT_LIST_DIR}/record_index.cpp
  LIBS kelvorin_pages kelvorin_metadata)
