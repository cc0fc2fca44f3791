vestrum_add_test(kelvorin_lock_manager_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/lock_manager_test.cpp
  LIBS kelvorin_catalog)
vestrum_add_test(kelvorin_lock_model_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/lock_model_test.cpp
  LIBS kelvorin_catalog)
vestrum_add_test(kelvorin_database_locks_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/database_locks_test.cpp
  LIBS kelvorin_catalog)
vestrum_add_test(kelvorin_lost_update_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/lost_update_test.cpp
  LIBS kelvorin_catalog)
vestrum_add_test(kelvorin_killed_committer_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/killed_committer_test.cpp
  LIBS kelvorin_catalog)
