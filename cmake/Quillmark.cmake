# quillmark_include_root(TARGET [FOLDERS folder...]): gives TARGET an include root of its
# own in the build tree, holding links only to its folders below src/ (by default the
# folder of the calling CMakeLists.txt), as a PUBLIC include directory. Code sees
# "job/x.h" only when it links qm_job, directly or through its DEPS, so an include that
# runs against the layers fails to build.
function(quillmark_include_root target)
  cmake_parse_arguments(ARG "" "" "FOLDERS" ${ARGN})
  if(NOT ARG_FOLDERS)
    file(RELATIVE_PATH ARG_FOLDERS ${PROJECT_SOURCE_DIR}/src ${CMAKE_CURRENT_SOURCE_DIR})
  endif()
  set(root ${PROJECT_BINARY_DIR}/include-roots/${target})
  set(wanted)
  foreach(folder IN LISTS ARG_FOLDERS)
    if(NOT IS_DIRECTORY ${PROJECT_SOURCE_DIR}/src/${folder})
      message(FATAL_ERROR "${target}: include folder src/${folder} does not exist")
    endif()
    get_filename_component(parent ${root}/${folder} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${folder} ${root}/${folder} SYMBOLIC)
    list(APPEND wanted ${root}/${folder})
  endforeach()
  # A folder the target no longer has must not stay visible from an older configure.
  # Only the links are removed, never what they point to.
  file(GLOB_RECURSE entries LIST_DIRECTORIES true ${root}/*)
  foreach(entry IN LISTS entries)
    if(IS_SYMLINK ${entry} AND NOT entry IN_LIST wanted)
      file(REMOVE ${entry})
    endif()
  endforeach()
  target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${root}>)
endfunction()

# quillmark_library(NAME SOURCES... [DEPS ...]): one static library per folder, built
# with the project's warnings, with the include root above.
function(quillmark_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  quillmark_include_root(${name})
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
