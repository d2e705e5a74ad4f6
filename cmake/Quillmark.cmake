# quillmark_library(NAME SOURCES... [DEPS ...]): one static library per folder,
# built with the project's warnings.
function(quillmark_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE quillmark_warnings)
endfunction()

# quillmark_test(NAME SOURCES... DEPS ... [FIXTURES ...] [TIMEOUT s]): one GoogleTest
# binary per area; every case becomes its own CTest test.
function(quillmark_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;DEPS;FIXTURES" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock quillmark_warnings)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  set(props TIMEOUT ${ARG_TIMEOUT})
  if(ARG_FIXTURES)
    list(APPEND props FIXTURES_REQUIRED "${ARG_FIXTURES}")
  endif()
  # Tests find the private server, the ODBC set-up and the fixture files here.
  list(APPEND props ENVIRONMENT "QUILLMARK_TEST_DIR=${PROJECT_BINARY_DIR}/test-data")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${props})
endfunction()
