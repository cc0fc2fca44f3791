# Sessions and database components: names, connecting and disconnecting,
# transactions, creating, deleting and compacting database files, and the
# questions and progress the layer hands to the application.
vestrum_add_library(kelvorin_session SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/access_events.cpp
  ${CMAKE_CURRENT_LIST_DIR}/access_names.cpp
  ${CMAKE_CURRENT_LIST_DIR}/compact.cpp
  ${CMAKE_CURRENT_LIST_DIR}/database.cpp
  ${CMAKE_CURRENT_LIST_DIR}/session.cpp
  LIBS kelvorin_local_access)
