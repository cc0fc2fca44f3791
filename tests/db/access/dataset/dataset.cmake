vestrum_add_test(kelvorin_dataset_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/dataset_faults_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dataset_model_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dataset_multi_user_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dataset_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/search_test.cpp
  LIBS kelvorin_table)
