# Pages, the page manager and cache, the free-space map, the disk page
# manager and the integrity checker.
vestrum_add_library(kelvorin_pages
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/page.cpp
          ${CMAKE_CURRENT_LIST_DIR}/page_list.cpp
          ${CMAKE_CURRENT_LIST_DIR}/page_manager.cpp
          ${CMAKE_CURRENT_LIST_DIR}/../free_space/free_space.cpp
          ${CMAKE_CURRENT_LIST_DIR}/disk_page_manager.cpp
          ${CMAKE_CURRENT_LIST_DIR}/integrity_check.cpp
  LIBS kelvorin_dbfile kelvorin_memory)
