vestrum_add_test(kelvorin_blob_manager_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/blob_manager_test.cpp
  LIBS kelvorin_blobs)
vestrum_add_test(kelvorin_blob_damage_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/blob_damage_test.cpp
  LIBS kelvorin_blobs)
vestrum_add_test(kelvorin_blob_faults_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/blob_faults_test.cpp
  LIBS kelvorin_blobs)
