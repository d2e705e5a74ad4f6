# quillmark_library(NAME SOURCES... [DEPS ...]): one static library per folder,
# built with the project's warnings. The source include root and the warnings are for
# this build only: an installed library is found under include/quillmark instead
# (cmake/Install.cmake), and its users keep their own warnings.
function(quillmark_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/src>)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE $<BUILD_INTERFACE:quillmark_warnings>)
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
  # Tests find the private server, the ODBC set-up and the fixture files here.
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 TEST_LIST ${name}_cases
    PROPERTIES TIMEOUT ${ARG_TIMEOUT}
               ENVIRONMENT "QUILLMARK_TEST_DIR=${PROJECT_BINARY_DIR}/test-data")
  # A list value does not survive gtest_discover_tests' PROPERTIES (its ";" splits the
  # pairs), so the fixtures are set on the discovered cases by a file CTest reads after
  # the discovery results.
  if(ARG_FIXTURES)
    set(fixtures_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_fixtures.cmake)
    file(WRITE ${fixtures_file}
         "foreach(c IN LISTS ${name}_cases)\n"
         "  set_tests_properties(\"\${c}\" PROPERTIES FIXTURES_REQUIRED \"${ARG_FIXTURES}\")\n"
         "endforeach()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${fixtures_file})
  endif()
endfunction()
