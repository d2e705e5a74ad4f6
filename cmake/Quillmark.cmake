# quillmark_library(NAME SOURCES... [DEPS ...]): one static library per folder,
# built with the project's warnings.
function(quillmark_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE quillmark_warnings)
endfunction()

# quillmark_test(NAME SOURCES... DEPS ... [FIXTURES ...] [TIMEOUT s] [LABEL l]): one
# GoogleTest binary per area; every case becomes its own CTest test, with the label
# when one is given (ctest -L / -LE picks or leaves out such cases).
function(quillmark_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT;LABEL" "SOURCES;DEPS;FIXTURES" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock quillmark_warnings)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  # Tests find the private server, the ODBC set-up and the fixture files here.
  set(label_property)
  if(ARG_LABEL)
    set(label_property LABELS ${ARG_LABEL})
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 TEST_LIST ${name}_cases
    PROPERTIES TIMEOUT ${ARG_TIMEOUT}
               ENVIRONMENT "QUILLMARK_TEST_DIR=${PROJECT_BINARY_DIR}/test-data"
               ${label_property})
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
