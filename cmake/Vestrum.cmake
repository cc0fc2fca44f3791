# Build conventions shared by every folder.

add_compile_options(-Wall -Wextra)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
   AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  # GCC 12's optimiser warns of overlapping copies inside std::string's
  # own assignment from a literal (GCC bug 105329), a false alarm that no
  # change of ours can silence; unoptimised builds never see it.
  add_compile_options($<$<NOT:$<CONFIG:Debug>>:-Wno-restrict>)
endif()
if(VESTRUM_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
if(VESTRUM_LIBFUZZER)
  # Coverage for libFuzzer in every library, not only in the fuzz targets.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# Includes every *.cmake fragment of the calling folder and of its component
# subfolders in path order, so that each component keeps its build rules in a
# file of its own beside its sources (paths in a fragment are relative to
# CMAKE_CURRENT_LIST_DIR).
macro(vestrum_include_fragments)
  file(GLOB_RECURSE _vestrum_fragments CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cmake)
  list(SORT _vestrum_fragments)
  foreach(_fragment ${_vestrum_fragments})
    include(${_fragment})
  endforeach()
endmacro()

# vestrum_add_library(NAME SOURCES... [LIBS ...])
# A static library whose headers are included from the repository root
# ("db/storage/abs_exception.h").
function(vestrum_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  if(ARG_LIBS)
    target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  endif()
endfunction()

# vestrum_add_test(NAME SOURCES... [LIBS ...] [ENV VAR=VALUE...])
# A GoogleTest binary; each test case becomes one CTest test.
function(vestrum_add_test name)
  if(NOT VESTRUM_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
                       WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
                       PROPERTIES ENVIRONMENT "${ARG_ENV}")
endfunction()

# vestrum_add_fuzzer(NAME SOURCES... [LIBS ...] [CORPUS dir])
# A fuzz target defining LLVMFuzzerTestOneInput. With VESTRUM_LIBFUZZER (clang)
# it links libFuzzer; otherwise it links a small driver that replays the corpus
# and then mutates it for a few seconds, and CTest runs it briefly.
function(vestrum_add_fuzzer name)
  if(NOT VESTRUM_TESTS AND NOT VESTRUM_LIBFUZZER)
    return()
  endif()
  cmake_parse_arguments(ARG "" "CORPUS" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  if(VESTRUM_LIBFUZZER)
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  else()
    target_link_libraries(${name} PRIVATE vestrum_fuzz_driver)
    set(corpus "")
    if(ARG_CORPUS)
      set(corpus ${ARG_CORPUS})
    endif()
    add_test(NAME fuzz.${name} COMMAND ${name} --seconds=5 ${corpus})
  endif()
endfunction()

# vestrum_add_benchmark(NAME SOURCES... [LIBS ...])
# A Google Benchmark binary (or a plain program measuring end to end) that
# scripts/bench runs; its name is recorded in bench/benchmarks.txt.
function(vestrum_add_benchmark name)
  if(NOT VESTRUM_BENCH)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
  set_property(GLOBAL APPEND PROPERTY VESTRUM_BENCHMARKS ${name})
endfunction()
